// New sheet and paper colour.
#include "app/colourvalue.h"
#include "app/frmmain.h"
#include "sheet/failurebox.h"
#include "sheet/picturefile.h"

void frmMain::紙の色_Click(std::int16_t index)
{
    struct Paper {
        std::int32_t red, green, blue;
    };
    // The orange paper is lighter than its button's face.
    static constexpr Paper papers[8] = {{0, 0, 0},     {255, 255, 255}, {255, 0, 0},   {0, 0, 255},
                                        {255, 255, 0}, {255, 0, 255},   {255, 162, 0}, {0, 255, 0}};
    if (index < 0 || index > 7)
        return;
    record.PaperRed = papers[index].red;
    record.PaperGreen = papers[index].green;
    record.PaperBlue = papers[index].blue;
}

void frmMain::btnNew_Click()
{
    CancelNotice();
    画板->setBackColor(ColourValue(record.PaperRed, record.PaperGreen, record.PaperBlue));
    画板->clear();
    画板->removePicture();
    ShowNotice(QStringLiteral("紙をとりかえましたよ！"));
}

void frmMain::btnSave_Click()
{
    CancelNotice();
    picturefile::Failure failure;
    const QImage image =
        picturefile::overPicture(画板->image(), 画板->picture(), 画板->backColorPixel(), &failure);
    if (image.isNull() || !picturefile::write(image, picturePlace, &failure)) {
        reportError(picturefile::Action::Keep, picturePlace.shown(), failure);
        return;
    }
    ShowNotice(QStringLiteral("とっておいたよん♪"));
}

// The whole picture stays with the canvas, which shows its top-left: a keep writes the rest too,
// so a picture is taken only where the canvas over it can be kept whole.
void frmMain::btnOpen_Click()
{
    CancelNotice();
    picturefile::Failure failure;
    const QImage picture = picturefile::read(picturePlace, &failure);
    if (picture.isNull() ||
        !picturefile::fitsInMemory(画板->image().size().expandedTo(picture.size()), &failure)) {
        reportError(picturefile::Action::Reopen, picturePlace.shown(), failure);
        return;
    }
    画板->setPicture(picture);
    ShowNotice(QStringLiteral("とりだしましたん♪"));
}

// The paper buttons share one handler, which is told the index of the one clicked.
void frmMain::connectSheetHandlers()
{
    if (!reportError) {
        reportError = [this](picturefile::Action action, const QString &path,
                             const picturefile::Failure &failure) {
            showFailure(this, action, path, failure);
        };
    }
    for (int i = 0; i < 8; ++i) {
        connect(紙の色[i], &QPushButton::clicked, this,
                [this, i] { 紙の色_Click(std::int16_t(i)); });
    }
    connect(btnNew, &QPushButton::clicked, this, &frmMain::btnNew_Click);
    connect(btnSave, &QPushButton::clicked, this, &frmMain::btnSave_Click);
    connect(btnOpen, &QPushButton::clicked, this, &frmMain::btnOpen_Click);
}
