#include "palette/frm_option.h"

void FrmOption::LoadPic_MouseDown(int, int, double, double) {}
void FrmOption::SavePic_MouseDown(int, int, double, double) {}
