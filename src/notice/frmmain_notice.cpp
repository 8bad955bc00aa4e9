// The message line: a notice after each action, with a beep, and the resting text again two
// seconds later, with a second beep.
#include "app/frmmain.h"
#include "notice/systembell.h"

const QString frmMain::DefaultNotice = QStringLiteral("いんふぉめぇ～しょんでぃすぷれぃ♪");

void frmMain::CancelNotice()
{
    setTimerInterval(InfoDisTime, 0);
}

void frmMain::ShowNotice(const QString &notice)
{
    InfoDis->setText(notice);
    InfoDis->announce();
    beep();
    setTimerInterval(InfoDisTime, 2000);
}

void frmMain::InfoDisTime_Tick()
{
    InfoDis->setText(DefaultNotice);
    setTimerInterval(InfoDisTime, 0);
    beep();
}

// Stopped at start; armed for two seconds by each notice. Precise, so that the resting text comes
// back at two seconds and not up to a twentieth later.
void frmMain::buildNoticeTimer()
{
    InfoDisTime = new QTimer(this);
    InfoDisTime->setObjectName(QStringLiteral("InfoDisTime"));
    InfoDisTime->setTimerType(Qt::PreciseTimer);
}

void frmMain::connectNoticeHandlers()
{
    if (!beep) {
        auto *bell = new SystemBell(QStringLiteral("Pafuro"), this);
        beep = [bell] { bell->ring(); };
    }
    connect(InfoDisTime, &QTimer::timeout, this, &frmMain::InfoDisTime_Tick);
}
