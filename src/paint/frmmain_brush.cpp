// Painting: the brush stamp, the three mouse-move handlers and the palette and size buttons.
#include "app/colourvalue.h"
#include "app/frmmain.h"

namespace {

void setBrushColour(StateRecord &record, std::int32_t red, std::int32_t green, std::int32_t blue)
{
    record.PenRed = red;
    record.PenGreen = green;
    record.PenBlue = blue;
}

} // namespace

void frmMain::StampBrush(DrawingSurface *surface, std::int16_t button, float x, float y)
{
    // Only the left button held alone paints.
    if (button != 1)
        return;
    const std::int32_t colour = ColourValue(record.PenRed, record.PenGreen, record.PenBlue);
    surface->setFillColor(colour);
    surface->setForeColor(colour);
    surface->circle(x, y, float(record.PenSize));
}

void frmMain::画板_MouseMove(std::int16_t button, std::int16_t, float x, float y)
{
    StampBrush(画板, button, x, y);
}

void frmMain::関係ないやつ_MouseMove(std::int16_t button, std::int16_t, float x, float y)
{
    StampBrush(関係ないやつ, button, x, y);
}

// A drag begun on the message line paints on the canvas, at the line's own coordinates.
void frmMain::InfoDis_MouseMove(std::int16_t button, std::int16_t, float x, float y)
{
    StampBrush(画板, button, x, y);
}

// The palette and the sizes read as a table, one handler to a line.
// clang-format off
void frmMain::黒色_Click() { setBrushColour(record, 0, 0, 0); }
void frmMain::白色_Click() { setBrushColour(record, 255, 255, 255); }
void frmMain::赤色_Click() { setBrushColour(record, 255, 0, 0); }
void frmMain::青色_Click() { setBrushColour(record, 0, 0, 255); }
void frmMain::黄色_Click() { setBrushColour(record, 255, 255, 0); }
void frmMain::紫色_Click() { setBrushColour(record, 255, 0, 255); }
// The orange brush is lighter than the swatch's face.
void frmMain::橙色_Click() { setBrushColour(record, 255, 162, 0); }
void frmMain::緑色_Click() { setBrushColour(record, 0, 255, 0); }

void frmMain::細い_Click() { record.PenSize = 10; }
void frmMain::普通_Click() { record.PenSize = 50; }
void frmMain::太い_Click() { record.PenSize = 100; }
void frmMain::極太_Click() { record.PenSize = 175; }
// clang-format on

void frmMain::connectBrushHandlers()
{
    connect(画板, &DrawingSurface::mouseMoved, this, &frmMain::画板_MouseMove);
    connect(関係ないやつ, &DrawingSurface::mouseMoved, this, &frmMain::関係ないやつ_MouseMove);
    connect(InfoDis, &MessageLine::mouseMoved, this, &frmMain::InfoDis_MouseMove);

    // An option button's handler runs whenever it becomes the selected one of its group.
    auto onSelect = [this](ColourButton *option, void (frmMain::*handler)()) {
        connect(option, &QAbstractButton::toggled, this, [this, handler](bool selected) {
            if (selected)
                (this->*handler)();
        });
    };
    onSelect(黒色, &frmMain::黒色_Click);
    onSelect(白色, &frmMain::白色_Click);
    onSelect(赤色, &frmMain::赤色_Click);
    onSelect(青色, &frmMain::青色_Click);
    onSelect(黄色, &frmMain::黄色_Click);
    onSelect(紫色, &frmMain::紫色_Click);
    onSelect(橙色, &frmMain::橙色_Click);
    onSelect(緑色, &frmMain::緑色_Click);
    onSelect(細い, &frmMain::細い_Click);
    onSelect(普通, &frmMain::普通_Click);
    onSelect(太い, &frmMain::太い_Click);
    onSelect(極太, &frmMain::極太_Click);
}
