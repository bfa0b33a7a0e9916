#include <QGuiApplication>

#include "canvas/formula_start.h"
#include "palette/frm_option.h"
#include "platform/files/picture_file.h"
#include "platform/platform.h"
#include "shell/forms.h"

namespace {
constexpr int kLeftButton = 1;

// Encoding and writing a screen-sized bitmap takes a moment; say so with the pointer.
class BusyCursor {
  public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};
}  // namespace

void FrmOption::LoadPic_MouseDown(int Button, int, double, double) {
    if (Button != kLeftButton) return;
    CommonDialog& load = dialog(QStringLiteral("Load"));
    load.DialogTitle = QStringLiteral("讀取圖片");
    load.Filter = QStringLiteral("ZEL圖片(*.ZEL)|*.ZEL");
    // A cancel loads nothing: neither the last file again nor a complaint about an empty name.
    if (!load.ShowOpen(this)) return;
    const QString name = load.FileName;
    // Exactly the last three characters, case and all; older files need no dot before them.
    if (!name.endsWith(QStringLiteral("ZEL"), Qt::CaseSensitive)) {
        platform().messages->error(this, QStringLiteral("Error"), QStringLiteral("不是ZEL圖片"));
        return;
    }
    PictureFile::ReadResult result;
    {
        BusyCursor busy;
        result = PictureFile::read(name);
    }
    if (!result.ok()) {
        PictureFile::reportReadFailure(this, name, result.error);
        return;
    }
    forms().get<Formula_Start>().loadPicture(result.image);
}

void FrmOption::SavePic_MouseDown(int Button, int, double, double) {
    if (Button != kLeftButton) return;
    CommonDialog& save = dialog(QStringLiteral("Save"));
    save.DialogTitle = QStringLiteral("儲存圖片");
    save.Filter = QStringLiteral(
        "ZEL圖片(*.ZEL)|*.ZEL|點陣圖 (*.bmp)|*.bmp|JPEG Filter (*.jpg;*.jpeg)|*.jpg");
    if (!save.ShowSave(this, true)) return;  // the dialog asks before replacing a file
    const QString name = save.FileName;
    if (name.isEmpty()) return;
    QString error;
    {
        BusyCursor busy;
        // Always a bitmap, whatever the name's suffix says.
        error = PictureFile::writeBmp(forms().get<Formula_Start>().image().image(), name);
    }
    if (!error.isEmpty()) PictureFile::reportWriteFailure(this, name, error);
}
