#pragma once

#include "shell/form.h"

// The floating tool palette: seven tools, the picture commands and exit.
class FrmOption : public Form {
    Q_OBJECT
  public:
    static constexpr FormId kId = FormId::FrmOption;
    // Text colour of a command label under the pointer, and otherwise.
    static constexpr Colour kHoverColour = 0x0000FF;
    static constexpr Colour kPlainColour = 0xFFFFFF;

    FrmOption();

    void Form_Load() override;
    // The canvas gives up the keyboard it took while it was alone.
    void showForm() override;
    void Form_QueryUnload() override;
    void Form_MouseDown(int Button, int Shift, double X, double Y) override;
    void Form_MouseMove(int Button, int Shift, double X, double Y) override;
    // As the right-click on the background: hidden, the canvas in front, the tool kept.
    void closedByWindowManager() override { Form_MouseDown(2, 0, 0, 0); }

    // Both controls of tool n, its picture Prop<n>_1 and its caption Prop<n>_2, come here.
    void Prop_MouseDown(int n, int Button, int Shift, double X, double Y);
    void Prop_DblClick(int n);

    void LabExit_MouseDown(int Button, int Shift, double X, double Y);
    void LabExit_MouseMove(int Button, int Shift, double X, double Y);
    void LoadPic_MouseMove(int Button, int Shift, double X, double Y);
    void SavePic_MouseMove(int Button, int Shift, double X, double Y);

    // The picture commands (picture_commands.cpp).
    void LoadPic_MouseDown(int Button, int Shift, double X, double Y);
    void SavePic_MouseDown(int Button, int Shift, double X, double Y);

    // Whether tool n opens the settings window on a double-click.
    static bool hasSettings(int n);

  private:
    // Hides the palette and shows the settings window prepared for tool n.
    void ShowSettingsFor(int n);
};
