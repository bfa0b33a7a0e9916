#pragma once

#include "shell/form.h"

// The floating tool palette.
class FrmOption : public Form {
    Q_OBJECT
public:
    static constexpr FormId kId = FormId::FrmOption;
    FrmOption();

    // The picture commands (picture_commands.cpp).
    void LoadPic_MouseDown(int Button, int Shift, double X, double Y);
    void SavePic_MouseDown(int Button, int Shift, double X, double Y);
};
