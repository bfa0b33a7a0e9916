#pragma once

#include "shell/form.h"

class FrmOption2 : public Form {
    Q_OBJECT
public:
    static constexpr FormId kId = FormId::FrmOption2;
    FrmOption2();
};
