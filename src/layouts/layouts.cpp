#include "layouts/layouts.h"

#include <array>

namespace {

using K = ControlKind;
namespace SC = SystemColour;

constexpr Colour kGreen = rgb(0, 255, 0);
constexpr Colour kWhite = rgb(255, 255, 255);
constexpr Colour kToolCaption = rgb(228, 247, 64);

ControlLayout label(QString name, QString caption, int l, int t, int w, int h, Colour fore,
                    double pt, bool hand, bool autoSize) {
    ControlLayout c;
    c.name = std::move(name);
    c.kind = K::Label;
    c.caption = std::move(caption);
    c.left = l, c.top = t, c.width = w, c.height = h;
    c.foreColour = fore;
    c.fontPoints = pt;
    c.hand = hand;
    c.autoSize = autoSize;
    return c;
}

ControlLayout picture(QString name, int index, int l, int t, int w, int h, bool hand,
                      bool visible) {
    ControlLayout c;
    c.name = std::move(name);
    c.index = index;
    c.kind = K::Picture;
    c.left = l, c.top = t, c.width = w, c.height = h;
    c.hand = hand;
    c.visible = visible;
    c.autoSize = true;
    return c;
}

ControlLayout dialog(QString name, ControlKind kind) {
    ControlLayout c;
    c.name = std::move(name);
    c.kind = kind;
    c.visible = false;
    return c;
}

WindowLayout frmMain() {
    WindowLayout w;
    w.id = FormId::FrmMain;
    w.name = QStringLiteral("FrmMain");
    w.clientWidth = 4545, w.clientHeight = 2160;
    w.backColour = rgb(0, 0, 0);
    w.controls = {
        label("Come", QStringLiteral("進入"), 600, 1320, 735, 375, SC::HighlightText, 18, true,
              false),
        label("Quit", QStringLiteral("離開"), 1800, 1320, 735, 375, SC::HighlightText, 18, true,
              false),
        label("About", QStringLiteral("關於"), 3120, 1320, 735, 375, SC::HighlightText, 18, true,
              false),
        label("MostS", QStringLiteral("縮到最小"), 3720, 1920, 780, 195, SC::HighlightText, 9.75,
              true, true),
        label("Label1", QStringLiteral("v1.1"), 4080, 1080, 315, 180, kGreen, 0, false, true),
    };
    return w;
}

WindowLayout formulaStart() {
    WindowLayout w;
    w.id = FormId::Formula_Start;
    w.name = QStringLiteral("Formula_Start");
    w.dialogFrame = false;
    w.clientWidth = 5745, w.clientHeight = 4695;
    w.persistentImage = true;
    w.backColour = SC::MenuText;
    auto add = [&](const char* name, int index, int l, int t, int size_w, int size_h) {
        ControlLayout c = picture(QString::fromLatin1(name), index, l, t, size_w, size_h, false,
                                  false);
        w.controls.push_back(c);
    };
    add("PicTo", -1, 3720, 2520, 1455, 975);
    add("PicGlass", 1, 120, 840, 615, 615);
    add("PicGlass", 2, 1080, 840, 615, 615);
    add("PicGlass", 3, 2160, 840, 615, 615);
    add("PicBomb", 1, 360, 1920, 375, 375);
    add("PicBomb", 2, 1200, 1920, 375, 375);
    add("PicBomb2", 1, 240, 2640, 615, 615);
    add("PicBomb2", 2, 1320, 2640, 615, 615);
    add("PicBomb3", 1, 240, 3840, 615, 615);
    add("PicBomb3", 2, 1200, 3840, 615, 615);
    add("PicBomb3", 3, 2160, 3840, 615, 615);
    add("PicSplinter", 0, 240, 240, 255, 255);
    return w;
}

WindowLayout frmOption() {
    WindowLayout w;
    w.id = FormId::FrmOption;
    w.name = QStringLiteral("FrmOption");
    w.clientWidth = 5310, w.clientHeight = 3840;
    w.persistentImage = true;
    w.backColour = SC::ActiveBorder;
    struct Tool {
        int picLeft, picTop;
        const char* caption;
        int l, t, width, height;
        bool autoSize;
    };
    const std::array<Tool, 7> tools{{
        {600, 360, "電 鋸", 720, 960, 495, 255, false},
        {1800, 360, "鎚 子", 1920, 960, 495, 255, false},
        {3000, 360, "繪 圓", 3120, 960, 495, 255, false},
        {4200, 360, "繪方形", 4200, 960, 615, 255, false},
        {600, 1560, "三頭砲", 600, 2160, 540, 180, true},
        {1800, 1560, "巨 砲", 1920, 2160, 405, 180, true},
        {3000, 1560, "圖 章", 3120, 2160, 405, 180, true},
    }};
    for (int n = 1; n <= 7; ++n) {
        const Tool& t = tools[n - 1];
        ControlLayout pic = picture(QStringLiteral("Prop%1_1").arg(n), -1, t.picLeft, t.picTop,
                                    495, 495, true, true);
        pic.autoSize = false;
        w.controls.push_back(pic);
        w.controls.push_back(label(QStringLiteral("Prop%1_2").arg(n),
                                   QString::fromUtf8(t.caption), t.l, t.t, t.width, t.height,
                                   kToolCaption, 0, true, t.autoSize));
    }
    w.controls.push_back(label("SavePic", QStringLiteral("儲存圖片"), 600, 2880, 975, 255,
                               SC::HighlightText, 12, true, false));
    w.controls.push_back(label("LoadPic", QStringLiteral("讀取圖片"), 2400, 2880, 975, 255,
                               SC::HighlightText, 12, true, false));
    w.controls.push_back(label("LabExit", QStringLiteral("離開"), 4200, 2880, 495, 255,
                               SC::HighlightText, 12, true, false));
    w.controls.push_back(label("Lab", Texts::authorNotice() + QStringLiteral("雙擊道具可以跳出選項"),
                               120, 3600, 5250, 180, SC::HighlightText, 0, false, false));
    w.controls.push_back(dialog("Load", K::FileDialog));
    w.controls.push_back(dialog("Save", K::FileDialog));
    return w;
}

WindowLayout frmOption2() {
    WindowLayout w;
    w.id = FormId::FrmOption2;
    w.name = QStringLiteral("FrmOption2");
    w.clientWidth = 4905, w.clientHeight = 3390;
    w.backColour = SC::ButtonFace;
    w.foreColour = SC::HighlightText;
    ControlLayout heading =
        label("LabTittle", QString(), 960, 480, 3015, 375, kGreen, 18, false, false);
    heading.centred = true;
    w.controls.push_back(heading);
    const int pos[5][2] = {{1560, 1440}, {2760, 1440}, {1080, 2160}, {2160, 2160}, {3240, 2160}};
    for (int k = 1; k <= 5; ++k) {
        ControlLayout num = picture("Num", k, pos[k - 1][0], pos[k - 1][1], 495, 495, true, true);
        num.backColour = SC::MenuText;
        w.controls.push_back(num);
    }
    ControlLayout open = label("LabOpen", QStringLiteral("開啟"), 2160, 1800, 480, 240,
                               SC::HighlightText, 12, true, true);
    open.visible = false;
    ControlLayout colour = label("LabColor", QStringLiteral("顏色"), 2160, 2880, 480, 240,
                                 SC::HighlightText, 12, true, true);
    colour.visible = false;
    w.controls.push_back(open);
    w.controls.push_back(colour);
    w.controls.push_back(label("LabTrue", QStringLiteral("確定"), 4200, 3000, 480, 240,
                               SC::HighlightText, 12, true, true));
    w.controls.push_back(dialog("Co", K::FileDialog));
    w.controls.push_back(dialog("Color", K::ColorDialog));
    return w;
}

WindowLayout frmAbout() {
    WindowLayout w;
    w.id = FormId::FrmAbout;
    w.name = QStringLiteral("FrmAbout");
    w.clientWidth = 3870, w.clientHeight = 2685;
    w.scale = Scale::Twips;
    w.backColour = SC::InfoText;
    w.controls = {
        label("Label1", Texts::aboutTitle(), 600, 240, 2385, 435, kGreen, 21.75, false, true),
        label("Label5", QStringLiteral("v1.1"), 3000, 480, 315, 180, kGreen, 0, false, true),
        label("Label2", Texts::authorLine(), 1440, 1080, 825, 195, kWhite, 9.75, false, true),
        label("Label3", QStringLiteral("E-mail:") + Texts::mailLink().mid(7), 600, 1560, 2520,
              195, kWhite, 9.75, true, true),
        label("Label4", QStringLiteral("Homepage:") + Texts::homepageLink(), 480, 2040, 2820, 195,
              kWhite, 9.75, true, true),
    };
    return w;
}

}  // namespace

const WindowLayout& layoutOf(FormId id) {
    static const std::array<WindowLayout, 5> layouts{frmMain(), formulaStart(), frmOption(),
                                                     frmOption2(), frmAbout()};
    return layouts.at(static_cast<size_t>(id));
}

const ControlLayout* findControl(const WindowLayout& layout, const QString& name, int index) {
    for (const ControlLayout& c : layout.controls)
        if (c.name == name && c.index == index) return &c;
    return nullptr;
}

namespace Texts {
QString aboutTitle() { return QStringLiteral("Shatter"); }
QString authorLine() { return QStringLiteral("作者:") + QString::fromUtf8(SHATTER_AUTHOR); }
QString mailLink() { return QStringLiteral("mailto:") + QString::fromUtf8(SHATTER_MAIL); }
QString homepageLink() { return QString::fromUtf8(SHATTER_HOMEPAGE); }
QString authorNotice() { return QString::fromUtf8(SHATTER_AUTHOR) + QStringLiteral("  "); }
}  // namespace Texts
