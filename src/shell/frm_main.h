#pragma once

#include "shell/form.h"

class Label;

// The title window the program starts with: enter, minimise, exit and about.
class FrmMain : public Form {
    Q_OBJECT
  public:
    static constexpr FormId kId = FormId::FrmMain;
    FrmMain();

    void Form_Load() override;
    void Form_MouseMove(int Button, int Shift, double X, double Y) override;

    void Come_MouseMove(int Button, int Shift, double X, double Y);
    void Quit_MouseMove(int Button, int Shift, double X, double Y);
    void About_MouseMove(int Button, int Shift, double X, double Y);
    void MostS_MouseMove(int Button, int Shift, double X, double Y);

    void Come_MouseDown(int Button, int Shift, double X, double Y);
    void MostS_MouseDown(int Button, int Shift, double X, double Y);
    void Quit_MouseDown(int Button, int Shift, double X, double Y);
    void About_MouseDown(int Button, int Shift, double X, double Y);

  protected:
    void changeEvent(QEvent* e) override;
    void paintEvent(QPaintEvent* e) override;

  private:
    void hover(const QString& name);
    void leaveMinimised();
    void hideUnseen();

    bool m_minimised = false;
    // Under a desktop that fades hidden windows out, the title can be drawn clear.
    const bool m_fadedOut;
    bool m_clear = false;
    QPoint m_posBeforeMinimise;
};
