#pragma once

#include <QString>
#include <optional>
#include <vector>

#include "layouts/colour.h"

enum class FormId { FrmMain, Formula_Start, FrmOption, FrmOption2, FrmAbout, Count };

enum class ControlKind { Label, Picture, FileDialog, ColorDialog };

// One control as designed; positions and sizes are in twips (15 per pixel at 96 dpi).
struct ControlLayout {
    QString name;
    int index = -1;  // element of a control array, -1 for a single control
    ControlKind kind = ControlKind::Label;
    QString caption;
    int left = 0, top = 0, width = 0, height = 0;
    std::optional<Colour> foreColour;
    std::optional<Colour> backColour;
    double fontPoints = 0;  // 0: the window's default 9-point font
    bool autoSize = false;
    bool hand = false;  // the pointing-hand cursor
    bool visible = true;
    bool centred = false;
};

enum class Scale { Pixels, Twips };

struct WindowLayout {
    FormId id = FormId::FrmMain;
    QString name;
    bool dialogFrame = true;  // false: no frame at all (the canvas)
    int clientWidth = 0, clientHeight = 0;  // twips
    Scale scale = Scale::Pixels;
    bool persistentImage = false;
    Colour backColour = 0;
    std::optional<Colour> foreColour;
    std::vector<ControlLayout> controls;
};

constexpr int kTwipsPerPixel = 15;
constexpr int kDialogFramePx = 3;
inline int twipsToPixels(int twips) { return twips / kTwipsPerPixel; }

const WindowLayout& layoutOf(FormId id);
const ControlLayout* findControl(const WindowLayout& layout, const QString& name, int index = -1);

// Texts the windows share with others.
namespace Texts {
QString aboutTitle();
QString authorLine();
QString mailLink();      // the mailto: address
QString homepageLink();  // the web address
QString authorNotice();  // the start of the palette's hint line
}  // namespace Texts
