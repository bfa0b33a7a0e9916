#include "shell/frm_main.h"

FrmMain::FrmMain() : Form(kId) {}
