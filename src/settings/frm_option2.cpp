#include "settings/frm_option2.h"

FrmOption2::FrmOption2() : Form(kId) {}
