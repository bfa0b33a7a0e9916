#pragma once

#include "shell/form.h"

class FrmAbout : public Form {
    Q_OBJECT
public:
    static constexpr FormId kId = FormId::FrmAbout;
    FrmAbout();
};
