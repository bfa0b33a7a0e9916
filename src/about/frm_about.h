#pragma once

#include "shell/form.h"

class Label;

// The About window: program name, author, version and the two links. Works in twips.
class FrmAbout : public Form {
    Q_OBJECT
  public:
    static constexpr FormId kId = FormId::FrmAbout;
    FrmAbout();

    void Form_MouseDown(int Button, int Shift, double X, double Y) override;
    void Form_MouseMove(int Button, int Shift, double X, double Y) override;
    // As the right-click: the title window, hidden meanwhile, comes back.
    void closedByWindowManager() override;

    void Label3_MouseDown(int Button, int Shift, double X, double Y);
    void Label4_MouseDown(int Button, int Shift, double X, double Y);
    void Label3_MouseMove(int Button, int Shift, double X, double Y);
    void Label4_MouseMove(int Button, int Shift, double X, double Y);

  private:
    void keepInside(Label* l);
    void openLink(const QString& link);
};
