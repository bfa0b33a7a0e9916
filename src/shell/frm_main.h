#pragma once

#include "shell/form.h"

class FrmMain : public Form {
    Q_OBJECT
public:
    static constexpr FormId kId = FormId::FrmMain;
    FrmMain();
};
