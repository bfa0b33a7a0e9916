#include "settings/frame_num_button.h"

#include <cstdint>

#include "settings/frm_option2.h"
#include "shell/forms.h"
#include "shell/formula.h"
#include "shell/picture_box.h"

namespace Formula {

void FrameNumButton(int k) {
    if (k < 1 || k > FrmOption2::kNumButtons) return;
    FrmOption2& window = forms().get<FrmOption2>();
    const PictureBox* button = window.picture(QStringLiteral("Num"), k);
    if (!button) return;
    const QRect g = button->geometry();
    // The first corner is the button's own, moved 5 out; DrawToolFrame adds 5 more.
    DrawToolFrame(window, static_cast<int16_t>(g.left() - 5), static_cast<int16_t>(g.top() - 5),
                  static_cast<int16_t>(g.left()), static_cast<int16_t>(g.top()),
                  static_cast<int16_t>(g.width()), static_cast<int16_t>(g.height()));
}

}  // namespace Formula
