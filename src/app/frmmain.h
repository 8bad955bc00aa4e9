#pragma once

#include "app/frmmaincontrols.h"
#include "app/staterecord.h"
#include "sheet/failure.h"
#include "sheet/picturefile.h"

#include <QElapsedTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <random>

class QButtonGroup;

// The program's one window. It owns every control and the state record; its handlers are
// spread over the folders of their concern (painting, message line, sheet, animation). Outside
// it, the controls and the record are read only; the handlers run on the controls' events.
class frmMain final : public QWidget, private frmMainControls {
    Q_OBJECT
public:
    // What the window asks of the world around it, given when it is built. Left empty, the beep
    // rings the system bell through a bell the window owns, and a failed keep or reopen is
    // reported with a line on standard error and a modal error box over the window.
    struct Services {
        std::function<void()> beep;
        // Uniform in [0, 1), never seeded.
        std::function<float()> random = [generator = std::mt19937()]() mutable {
            return toUnit(generator());
        };
        std::function<void(picturefile::Action, const QString &path, const picturefile::Failure &)>
            reportError;
        // The picture file, in the executable's folder; not known when that folder cannot be.
        picturefile::Place picturePlace{picturefile::pathBesideProgram()};
    };

    explicit frmMain(QWidget *parent = nullptr);
    explicit frmMain(Services services, QWidget *parent = nullptr);

    using Controls = frmMainControls;
    const Controls &controls() const { return *this; }
    const StateRecord &state() const { return record; }

    // The message line's resting text.
    static const QString DefaultNotice;
    // The random source's 32 bits as a value in [0, 1).
    static float toUnit(std::uint32_t bits);

protected:
    void changeEvent(QEvent *event) override;

private:
    // The fixtures of the tests and benchmarks fire handlers, set the record and swap a service
    // in the middle of a run.
    friend struct TestWindow;
    friend struct BenchWindow;

    StateRecord record;

    // app/frmmain.cpp
    void Form_Load();
    void btnEnd_Click();

    // paint/frmmain_brush.cpp
    void StampBrush(DrawingSurface *surface, std::int16_t button, float x, float y);
    void 画板_MouseMove(std::int16_t button, std::int16_t shift, float x, float y);
    void 関係ないやつ_MouseMove(std::int16_t button, std::int16_t shift, float x, float y);
    void InfoDis_MouseMove(std::int16_t button, std::int16_t shift, float x, float y);
    void 黒色_Click();
    void 白色_Click();
    void 赤色_Click();
    void 青色_Click();
    void 黄色_Click();
    void 紫色_Click();
    void 橙色_Click();
    void 緑色_Click();
    void 細い_Click();
    void 普通_Click();
    void 太い_Click();
    void 極太_Click();

    // notice/frmmain_notice.cpp
    void CancelNotice();
    void ShowNotice(const QString &notice);
    void InfoDisTime_Tick();

    // sheet/frmmain_sheet.cpp
    void 紙の色_Click(std::int16_t index);
    void btnNew_Click();
    void btnSave_Click();
    void btnOpen_Click();

    // anim/frmmain_sparks.cpp
    void Timer1_Tick();

    std::function<void()> beep;
    std::function<float()> random;
    std::function<void(picturefile::Action, const QString &path, const picturefile::Failure &)>
        reportError;
    picturefile::Place picturePlace;

    void leaveImposedState();
    // The state the window last asked to leave, and when.
    Qt::WindowStates stateLeft;
    QElapsedTimer sinceLeaving;

    void buildControls();
    void buildPushButtons();
    void buildGroupPanels();
    void buildMessageLine();
    void buildSwatches();
    void buildSizeButtons();
    void buildPaperButtons();
    void buildTimers();
    void buildNoticeTimer(); // notice/frmmain_notice.cpp
    void setKeyboardOrder();
    void connectHandlers();
    void connectBrushHandlers();  // paint/frmmain_brush.cpp
    void connectNoticeHandlers(); // notice/frmmain_notice.cpp
    void connectSheetHandlers();  // sheet/frmmain_sheet.cpp
    void connectSparkHandlers();  // anim/frmmain_sparks.cpp
};
