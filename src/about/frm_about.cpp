#include "about/frm_about.h"

FrmAbout::FrmAbout() : Form(kId) {}
