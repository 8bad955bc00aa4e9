// The message line: each action's notice with one beep, the resting text two seconds later with
// a second beep, and a failed action that leaves the line as it was; and which way a beep goes.
#include "notice/beepway.h"
#include "notice/playerpolicy.h"
#include "testwindow.h"

#include <QDir>
#include <QElapsedTimer>
#include <QtTest>

namespace {

const QString newSheetNotice = QStringLiteral("紙をとりかえましたよ！");
const QString keepNotice = QStringLiteral("とっておいたよん♪");
const QString reopenNotice = QStringLiteral("とりだしましたん♪");

enum class Action { NewSheet, Keep, Reopen };

QAbstractButton *buttonOf(frmMain &w, Action action)
{
    switch (action) {
    case Action::NewSheet: return w.controls().btnNew;
    case Action::Keep: return w.controls().btnSave;
    case Action::Reopen: return w.controls().btnOpen;
    }
    return nullptr;
}

PlayerPolicy::TimePoint instant(int ms)
{
    return PlayerPolicy::TimePoint(std::chrono::milliseconds(ms));
}

// One step of a beep's hand-over, at an instant in ms from its ring: the player's check right
// before the play call, the play call failing, the player ending without a sound, or the
// window's start limit.
struct Step {
    enum Kind { Start, PlayFails, PlayerEnds, Limit } kind;
    int ms = 0;
};
enum class Heard { Sound, StandIn };

} // namespace

Q_DECLARE_METATYPE(Action)
Q_DECLARE_METATYPE(BeepWay)
Q_DECLARE_METATYPE(BellFacts)
Q_DECLARE_METATYPE(PlayerPolicy)
Q_DECLARE_METATYPE(PlayerState)
Q_DECLARE_METATYPE(std::vector<Step>)
Q_DECLARE_METATYPE(Heard)

class NoticeTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { prepareApplication(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void oneAction_data()
    {
        QTest::addColumn<Action>("action");
        QTest::addColumn<QString>("notice");
        QTest::newRow("new sheet") << Action::NewSheet << newSheetNotice;
        QTest::newRow("keep") << Action::Keep << keepNotice;
        QTest::newRow("reopen") << Action::Reopen << reopenNotice;
    }

    // One beep at once, the notice for two seconds, then the resting text with a second beep.
    void oneAction()
    {
        QFETCH(Action, action);
        QFETCH(QString, notice);
        TestWindow t;
        QVERIFY(t.show());
        if (action == Action::Reopen) {
            TestWindow::click(t.ui.btnSave);
            t.InfoDisTime_Tick();
            t.beeps = 0;
        }
        const QImage resting = t.ui.InfoDis->grab().toImage();

        TestWindow::click(buttonOf(t.w, action));
        QCOMPARE(t.beeps, 1);
        QCOMPARE(t.ui.InfoDis->text(), notice);
        QVERIFY(t.ui.InfoDis->grab().toImage() != resting);
        QVERIFY(t.ui.InfoDisTime->isActive());
        QCOMPARE(t.ui.InfoDisTime->interval(), 2000);
        QVERIFY(t.ui.InfoDisTime->remainingTime() > 1500);

        t.InfoDisTime_Tick();
        QCOMPARE(t.beeps, 2);
        QCOMPARE(t.ui.InfoDis->text(), frmMain::DefaultNotice);
        QCOMPARE(t.ui.InfoDis->grab().toImage(), resting);
        QVERIFY(!t.ui.InfoDisTime->isActive());
        // A timer left running at interval 0 would tick at every pass of the event loop.
        QTest::qWait(50);
        QCOMPARE(t.beeps, 2);
    }

    // Cancelling really stops the wait: nothing ticks afterwards.
    void cancelStopsTheWait()
    {
        TestWindow t;
        QVERIFY(t.show());
        t.ShowNotice(keepNotice);
        QVERIFY(t.ui.InfoDisTime->isActive());
        t.CancelNotice();
        QVERIFY(!t.ui.InfoDisTime->isActive());
        QTest::qWait(50);
        QCOMPARE(t.beeps, 1);
        QCOMPARE(t.ui.InfoDis->text(), keepNotice);
    }

    // The suite's one real wait: two actions a second apart; the fall-back comes two seconds
    // after the second, and the first one's never comes.
    void twoActionsASecondApart()
    {
        TestWindow t;
        QVERIFY(t.show());
        QElapsedTimer clock;
        QList<qint64> beepTimes;
        QStringList beepTexts;
        t.setBeep([&] {
            beepTimes.append(clock.elapsed());
            beepTexts.append(t.ui.InfoDis->text());
        });
        clock.start();
        TestWindow::click(t.ui.btnNew);
        QTest::qWait(1000);
        TestWindow::click(t.ui.btnSave);
        QTRY_COMPARE_WITH_TIMEOUT(beepTimes.size(), 3, 5000);
        QTest::qWait(100);

        QCOMPARE(beepTexts, QStringList({newSheetNotice, keepNotice, frmMain::DefaultNotice}));
        QVERIFY2(beepTimes[1] >= 1000, qPrintable(QString::number(beepTimes[1])));
        const qint64 wait = beepTimes[2] - beepTimes[1];
        QVERIFY2(wait >= 2000, qPrintable(QStringLiteral("fell back after %1 ms").arg(wait)));
        qInfo("fell back %lld ms after the second action", wait);
        // Too loose a bound to time under load: a coarse timer may come up to 100 ms late.
        QCOMPARE(t.ui.InfoDisTime->timerType(), Qt::PreciseTimer);
        QVERIFY(!t.ui.InfoDisTime->isActive());
    }

    void failedActionLeavesTheEarlierNotice_data()
    {
        QTest::addColumn<Action>("action");
        QTest::newRow("reopen of a missing file") << Action::Reopen;
        QTest::newRow("keep onto a directory") << Action::Keep;
    }

    // A failed action stops the pending fall-back and shows nothing of its own.
    void failedActionLeavesTheEarlierNotice()
    {
        QFETCH(Action, action);
        TestWindow t;
        QVERIFY(t.show());
        if (action == Action::Keep)
            QVERIFY(QDir(t.dir.path()).mkdir(QStringLiteral("Image.bmp")));
        TestWindow::click(t.ui.btnNew);
        t.stamp(100, 100);
        const QImage shown = t.ui.InfoDis->grab().toImage();
        const QImage canvas = t.canvas();

        TestWindow::click(buttonOf(t.w, action));
        QCOMPARE(t.reports.size(), 1);
        QCOMPARE(t.reports[0].path, t.dir.filePath(QStringLiteral("Image.bmp")));
        QCOMPARE(t.canvas(), canvas);
        QCOMPARE(t.beeps, 1);
        QCOMPARE(t.ui.InfoDis->text(), newSheetNotice);
        QCOMPARE(t.ui.InfoDis->grab().toImage(), shown);
        QVERIFY(!t.ui.InfoDisTime->isActive());
        QTest::qWait(50);
        QCOMPARE(t.beeps, 1);
    }

    void wayOfABeep_data()
    {
        QTest::addColumn<BellFacts>("facts");
        QTest::addColumn<BeepWay>("way");
        using enum PlayerState;
        using enum BeepWay;
        const BellFacts x{.xkb = true, .audibleBell = true}, xOff{.xkb = true}, wayland;
        const BellFacts xwayland{.xkb = true, .xwayland = true, .audibleBell = true};
        const auto with = [](BellFacts facts, PlayerState player) {
            facts.player = player;
            return facts;
        };
        // A bare X server sounds its bell itself unless a desktop took it over.
        QTest::newRow("X, bell taken over") << xOff << DesktopBell;
        QTest::newRow("X, bell taken over, player stuck") << with(xOff, Stuck) << DesktopBell;
        QTest::newRow("X") << x << SoundThenNotice;
        QTest::newRow("X, a sound played") << with(x, Played) << SoundAndNotice;
        QTest::newRow("X, player stuck") << with(x, Stuck) << ToolkitBeep;
        // A compositor may sound an X bell notification whatever AudibleBell says (mutter does,
        // even for one that only notifies), and Xwayland itself sounds none.
        QTest::newRow("Xwayland, a sound played") << with(xwayland, Played) << Sound;
        QTest::newRow("Xwayland, bell off") << BellFacts{.xkb = true, .xwayland = true} << Sound;
        QTest::newRow("Xwayland, player stuck") << with(xwayland, Stuck) << ToolkitBeep;
        QTest::newRow("Wayland, a sound played") << with(wayland, Played) << Sound;
        QTest::newRow("Wayland, no sound server") << with(wayland, Silent) << ToolkitBeep;
        // With the desktop's alert sounds off, the program sounds nothing itself, also where it
        // could play no sound; a desktop that took the X bell over follows its own switch.
        const auto quiet = [](BellFacts facts, PlayerState player) {
            facts.alertSounds = false;
            facts.player = player;
            return facts;
        };
        QTest::newRow("X, alert sounds off") << quiet(x, Ready) << Notice;
        QTest::newRow("X, alert sounds off, player stuck") << quiet(x, Stuck) << Notice;
        QTest::newRow("X, bell taken over, alert sounds off") << quiet(xOff, Played) << DesktopBell;
        QTest::newRow("Xwayland, alert sounds off") << quiet(xwayland, Played) << Nothing;
        QTest::newRow("Wayland, alert sounds off") << quiet(wayland, Ready) << Nothing;
        QTest::newRow("Wayland, alert sounds off, no sound server")
            << quiet(wayland, Silent) << Nothing;
    }

    void wayOfABeep()
    {
        QFETCH(BellFacts, facts);
        QFETCH(BeepWay, way);
        QCOMPARE(beepWay(facts), way);
    }

    // The player's rules of time: a policy with its history, what it says at an instant (in ms
    // from the first ring), and whether a fresh connection may be made then.
    void playerRules_data()
    {
        QTest::addColumn<PlayerPolicy>("policy");
        QTest::addColumn<int>("now");
        QTest::addColumn<PlayerState>("state");
        QTest::addColumn<bool>("connect");
        using enum PlayerState;
        using Outcome = PlayerPolicy::Outcome;
        // A beep rung at ring and taken up at take.
        const auto taken = [](PlayerPolicy p, int ring, int take) {
            p.admit(instant(ring), instant(take));
            return p;
        };
        // A beep taken up at once, played on a fresh connection if one may be made, and so ended.
        const auto rung = [&](PlayerPolicy p, int ms, Outcome outcome, bool connected) {
            p = taken(p, ms, ms);
            p.mayConnect(instant(ms));
            p.settle(outcome, connected);
            return p;
        };
        PlayerPolicy fresh, noLibrary;
        noLibrary.disable();
        const PlayerPolicy played = rung(fresh, 0, Outcome::Played, true);
        const PlayerPolicy failed = rung(fresh, 0, Outcome::Failed, false);
        const PlayerPolicy failedAgain = rung(played, 5000, Outcome::Failed, false);
        QTest::newRow("fresh") << fresh << 0 << Ready << true;
        QTest::newRow("busy for a second") << taken(fresh, 0, 0) << 1000 << Ready << true;
        QTest::newRow("busy for longer: stuck") << taken(fresh, 0, 0) << 1001 << Stuck << true;
        QTest::newRow("taken up a second after its ring")
            << taken(fresh, 0, 1000) << 2001 << Stuck << true;
        QTest::newRow("taken up later: dropped") << taken(fresh, 0, 1001) << 2002 << Ready << true;
        QTest::newRow("played") << played << 100 << Played << false;
        QTest::newRow("failed: silent till the pause is over") << failed << 2999 << Silent << false;
        QTest::newRow("failed: the pause over") << failed << 3000 << Ready << true;
        QTest::newRow("played, failed again") << failedAgain << 7999 << Silent << false;
        QTest::newRow("played, failed again, pause over") << failedAgain << 8000 << Ready << true;
        QTest::newRow("a late beep plays nothing")
            << rung(fresh, 0, Outcome::Late, true) << 100 << Ready << false;
        QTest::newRow("stuck while silent") << taken(failed, 500, 500) << 1501 << Stuck << false;
        QTest::newRow("no sound library") << noLibrary << 60000 << Silent << true;
    }

    void playerRules()
    {
        QFETCH(PlayerPolicy, policy);
        QFETCH(int, now);
        QFETCH(PlayerState, state);
        QFETCH(bool, connect);
        QCOMPARE(policy.state(instant(now)), state);
        QCOMPARE(policy.mayConnect(instant(now)), connect);
    }

    // A beep between the window and the player: each side's steps in order, and what is heard
    // of it: its sound or the desktop's bell in its place, once, never both, never neither.
    void handOver_data()
    {
        QTest::addColumn<std::vector<Step>>("steps");
        QTest::addColumn<Heard>("heard");
        using enum Step::Kind;
        QTest::newRow("started in time")
            << std::vector<Step>{{Start, 40}, {Limit, 1000}} << Heard::Sound;
        QTest::newRow("started at the limit")
            << std::vector<Step>{{Start, 1000}, {Limit, 1000}} << Heard::Sound;
        QTest::newRow("a stall: withdrawn at the limit, nothing once the server is back")
            << std::vector<Step>{{Limit, 1000}, {Start, 1600}, {PlayerEnds, 1600}}
            << Heard::StandIn;
        QTest::newRow("the window's limit late: the player, late too, stands in")
            << std::vector<Step>{{Start, 1001}, {PlayerEnds, 1001}, {Limit, 1050}}
            << Heard::StandIn;
        QTest::newRow("no connection: the player stands in at once")
            << std::vector<Step>{{PlayerEnds, 5}, {Limit, 1000}} << Heard::StandIn;
        QTest::newRow("the play call failed, tried again in time")
            << std::vector<Step>{{Start, 10}, {PlayFails, 10}, {Start, 20}, {Limit, 1000}}
            << Heard::Sound;
        QTest::newRow("the play call failed twice")
            << std::vector<Step>{{Start, 10},     {PlayFails, 10},  {Start, 20},
                                 {PlayFails, 20}, {PlayerEnds, 20}, {Limit, 1000}}
            << Heard::StandIn;
        QTest::newRow("the play call failed, the second try held up past the limit")
            << std::vector<Step>{{Start, 10},
                                 {PlayFails, 10},
                                 {Limit, 1000},
                                 {Start, 1500},
                                 {PlayerEnds, 1500}}
            << Heard::StandIn;
        QTest::newRow("the play call failed after the limit")
            << std::vector<Step>{{Start, 900}, {Limit, 1000}, {PlayFails, 1200}, {PlayerEnds, 1200}}
            << Heard::StandIn;
    }

    void handOver()
    {
        QFETCH(std::vector<Step>, steps);
        QFETCH(Heard, heard);
        Handover handover(instant(0));
        int sounds = 0, standIns = 0;
        for (const Step &step : steps) {
            switch (step.kind) {
            case Step::Start: sounds += handover.start(instant(step.ms)); break;
            case Step::PlayFails:
                handover.putBack();
                --sounds;
                break;
            case Step::PlayerEnds:
            case Step::Limit: standIns += handover.withdraw(); break;
            }
        }
        QCOMPARE(sounds, heard == Heard::Sound ? 1 : 0);
        QCOMPARE(standIns, heard == Heard::StandIn ? 1 : 0);
    }
};

QTEST_MAIN(NoticeTest)
#include "notice_test.moc"
