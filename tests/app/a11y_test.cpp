// What assistive technology is told: every control reachable from the window with a name of its
// own and the role of its kind, the selection of the option buttons as it changes, the group
// panels named by their captions, and the message line carrying the notice shown on it.
#include "testwindow.h"

#include <QAccessible>
#include <QSet>

namespace {

QAccessibleInterface *accessible(QObject *object)
{
    return QAccessible::queryAccessibleInterface(object);
}

// Every interface below `root`, in the order assistive technology walks them.
void collect(QAccessibleInterface *root, QList<QAccessibleInterface *> &into)
{
    for (int i = 0; i < root->childCount(); ++i) {
        QAccessibleInterface *child = root->child(i);
        into.append(child);
        collect(child, into);
    }
}

QString nameOf(QObject *object)
{
    return accessible(object)->text(QAccessible::Name);
}

} // namespace

class A11yTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { prepareApplication(); }
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    // Each widget of the window is reached by walking down from the window and has a name, and
    // no two controls of one container share a name, so none is mistaken for another.
    void everyControlNamed()
    {
        TestWindow t;
        QVERIFY(t.show());
        QAccessibleInterface *window = accessible(&t.w);
        QCOMPARE(window->text(QAccessible::Name), QStringLiteral("Pafuro"));
        QList<QAccessibleInterface *> all;
        collect(window, all);
        QSet<QObject *> reached;
        for (QAccessibleInterface *iface : all) {
            reached.insert(iface->object());
            QVERIFY2(!iface->text(QAccessible::Name).trimmed().isEmpty(),
                     qPrintable(iface->object()->objectName()));
            QCOMPARE(iface->parent()->object(), iface->object()->parent());
        }
        const QList<QWidget *> widgets = t.w.findChildren<QWidget *>();
        QCOMPARE(all.size(), widgets.size());
        for (QWidget *w : widgets)
            QVERIFY2(reached.contains(w), qPrintable(w->objectName()));
        // The swatches have no caption: each is named by its colour, its own name's first kanji.
        for (QAbstractButton *swatch : t.ui.色フレーム->findChildren<QAbstractButton *>())
            QVERIFY2(nameOf(swatch).contains(swatch->objectName().at(0)),
                     qPrintable(nameOf(swatch)));

        QList<QAccessibleInterface *> containers = {window};
        for (QAccessibleInterface *iface : all)
            if (iface->childCount() > 0)
                containers.append(iface);
        for (QAccessibleInterface *container : containers) {
            QSet<QString> names;
            for (int i = 0; i < container->childCount(); ++i) {
                // A caption shares its name with the group it names.
                auto *caption = qobject_cast<QLabel *>(container->child(i)->object());
                if (caption && caption->buddy())
                    continue;
                const QString name = container->child(i)->text(QAccessible::Name);
                QVERIFY2(!names.contains(name), qPrintable(name));
                names.insert(name);
            }
        }
    }

    void roles_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<int>("role");
        QTest::newRow("window") << "frmMain" << int(QAccessible::Window);
        QTest::newRow("canvas") << "画板" << int(QAccessible::Canvas);
        QTest::newRow("side panel") << "関係ないやつ" << int(QAccessible::Animation);
        QTest::newRow("push button") << "btnSave" << int(QAccessible::Button);
        QTest::newRow("caption") << "Label1" << int(QAccessible::StaticText);
        QTest::newRow("swatch group") << "色フレーム" << int(QAccessible::Grouping);
        QTest::newRow("swatch") << "赤色" << int(QAccessible::RadioButton);
        QTest::newRow("size button") << "極太" << int(QAccessible::RadioButton);
        QTest::newRow("paper button") << "紙の色" << int(QAccessible::RadioButton);
        QTest::newRow("message line") << "InfoDis" << int(QAccessible::Notification);
    }

    void roles()
    {
        QFETCH(QString, control);
        QFETCH(int, role);
        TestWindow t;
        QVERIFY(t.show());
        QObject *object = control == u"frmMain" ? &t.w : t.w.findChild<QObject *>(control);
        QVERIFY(object);
        QCOMPARE(int(accessible(object)->role()), role);
    }

    void selectionFollowsClicks_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("first");
        QTest::addColumn<int>("clicked");
        QTest::newRow("swatches") << "色フレーム" << 0 << 2;
        QTest::newRow("sizes") << "Picture1" << 1 << 3;
        QTest::newRow("papers") << "Picture2" << 1 << 7;
    }

    // Exactly one button of each group is reported checked: the one selected at start, then the
    // one clicked.
    void selectionFollowsClicks()
    {
        QFETCH(QString, group);
        QFETCH(int, first);
        QFETCH(int, clicked);
        TestWindow t;
        QVERIFY(t.show());
        QAccessibleInterface *panel = accessible(t.w.findChild<GroupPanel *>(group));
        for (int i = 0; i < panel->childCount(); ++i)
            QVERIFY(panel->child(i)->state().checkable);
        auto checked = [panel] {
            QList<int> on;
            for (int i = 0; i < panel->childCount(); ++i)
                if (panel->child(i)->state().checked)
                    on.append(i);
            return on;
        };
        QCOMPARE(checked(), QList<int>{first});
        TestWindow::click(static_cast<QAbstractButton *>(panel->child(clicked)->object()));
        QCOMPARE(checked(), QList<int>{clicked});
    }

    void groupsNamedByCaptions_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<QString>("caption");
        QTest::newRow("swatches") << "色フレーム"
                                  << "Label1";
        QTest::newRow("sizes") << "Picture1"
                               << "Label2";
        QTest::newRow("papers") << "Picture2"
                                << "Label3";
    }

    void groupsNamedByCaptions()
    {
        QFETCH(QString, group);
        QFETCH(QString, caption);
        TestWindow t;
        QVERIFY(t.show());
        QAccessibleInterface *panel = accessible(t.w.findChild<GroupPanel *>(group));
        QLabel *label = t.w.findChild<QLabel *>(caption);
        QCOMPARE(panel->text(QAccessible::Name), label->text());
        const auto labelledBy = panel->relations(QAccessible::Label);
        QCOMPARE(labelledBy.size(), 1);
        QCOMPARE(labelledBy.first().first->object(), label);
    }

    // The message line's name is the notice on it, then the resting text again.
    void messageLineCarriesNotice()
    {
        TestWindow t;
        QVERIFY(t.show());
        QCOMPARE(nameOf(t.ui.InfoDis), frmMain::DefaultNotice);
        TestWindow::click(t.ui.btnNew);
        QCOMPARE(nameOf(t.ui.InfoDis), QStringLiteral("紙をとりかえましたよ！"));
        t.InfoDisTime_Tick();
        QCOMPARE(nameOf(t.ui.InfoDis), frmMain::DefaultNotice);
    }
};

QTEST_MAIN(A11yTest)
#include "a11y_test.moc"
