#pragma once

#include "shell/form.h"

// The tool settings window: size buttons, drawing colour and stamp picture for the tool just
// double-clicked on the palette. Every choice goes straight into the shared state or the canvas.
class FrmOption2 : public Form {
    Q_OBJECT
  public:
    static constexpr FormId kId = FormId::FrmOption2;
    static constexpr int kNumButtons = 5;
    FrmOption2();

    void Form_Load() override;
    void Form_MouseMove(int Button, int Shift, double X, double Y) override;

    void Num_MouseDown(int Index, int Button, int Shift, double X, double Y);
    void LabColor_MouseDown(int Button, int Shift, double X, double Y);
    void LabOpen_MouseDown(int Button, int Shift, double X, double Y);
    void LabTrue_MouseDown(int Button, int Shift, double X, double Y);
    void LabColor_MouseMove(int Button, int Shift, double X, double Y);
    void LabOpen_MouseMove(int Button, int Shift, double X, double Y);
    void LabTrue_MouseMove(int Button, int Shift, double X, double Y);
    // As its OK command, which is how it closes: the palette comes back.
    void closedByWindowManager() override { LabTrue_MouseDown(1, 0, 0, 0); }

    // The dialogs' fixed texts.
    static QString colorTitle();
    static QString stampTitle();
    static QString stampFilter();

  protected:
    // The window keeps no drawing: the size frame goes when the window does.
    void hideEvent(QHideEvent* e) override;
};
