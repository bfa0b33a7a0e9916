#include "palette/frm_option.h"

FrmOption::FrmOption() : Form(kId) {}
