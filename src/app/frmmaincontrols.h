#pragma once

#include "app/colourbutton.h"
#include "app/grouppanel.h"
#include "notice/messageline.h"
#include "surface/drawingsurface.h"

#include <QLabel>
#include <QTimer>

#include <array>

// The main window's controls, each under the program's name for it, which is also its
// objectName. The window builds them as its children.
struct frmMainControls {
    DrawingSurface *画板 = nullptr;
    ColourButton *btnSave = nullptr;
    ColourButton *btnOpen = nullptr;
    ColourButton *btnNew = nullptr;
    ColourButton *btnEnd = nullptr;
    DrawingSurface *関係ないやつ = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    GroupPanel *色フレーム = nullptr;
    GroupPanel *Picture1 = nullptr;
    GroupPanel *Picture2 = nullptr;
    MessageLine *InfoDis = nullptr;
    QTimer *Timer1 = nullptr;
    QTimer *InfoDisTime = nullptr;

    ColourButton *黒色 = nullptr;
    ColourButton *白色 = nullptr;
    ColourButton *赤色 = nullptr;
    ColourButton *青色 = nullptr;
    ColourButton *黄色 = nullptr;
    ColourButton *紫色 = nullptr;
    ColourButton *橙色 = nullptr;
    ColourButton *緑色 = nullptr;

    ColourButton *細い = nullptr;
    ColourButton *普通 = nullptr;
    ColourButton *太い = nullptr;
    ColourButton *極太 = nullptr;

    std::array<ColourButton *, 8> 紙の色{};
};
