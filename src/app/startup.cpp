#include "app/startup.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QList>
#include <QString>

#include <malloc.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <utility>

void setStartupDefaults()
{
    // Nothing is ever typed into this window, so no input method is needed and Qt need not
    // look for and load its plugins.
    if (!qEnvironmentVariableIsSet("QT_IM_MODULE"))
        qputenv("QT_IM_MODULE", "none");
    // Every control brings its own colours and faces, so the desktop's palette and fonts are not
    // wanted, nor its theme plugin (on a GTK desktop that one loads all of GTK). A theme named in
    // QT_QPA_PLATFORMTHEME is still loaded.
    QGuiApplication::setDesktopSettingsAware(false);
    // Qt copies whole font tables only to look at them (a megabyte, the bitmap index of the
    // rounded face). With glibc's sliding threshold such copies come from the heap and it stays
    // that much larger after they are freed; a fixed threshold gives them back at once.
    if (!qEnvironmentVariableIsSet("MALLOC_MMAP_THRESHOLD_") &&
        !qEnvironmentVariable("GLIBC_TUNABLES").contains(QStringLiteral("mmap_threshold")))
        mallopt(M_MMAP_THRESHOLD, 128 * 1024);
    // Past a file-size limit a keep fails with its reason instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
}

namespace {

QtMessageHandler qtHandler = nullptr;
QList<std::tuple<QtMsgType, QString, QString>> held;

// The platforms Qt tries, in its order: those named in QT_QPA_PLATFORM, else Wayland first in a
// session that says it is one, and X.
QList<QByteArray> platformsTried()
{
    QByteArray names = qgetenv("QT_QPA_PLATFORM");
    if (names.isEmpty())
        names = qgetenv("XDG_SESSION_TYPE") == "wayland" ? "wayland;xcb" : "xcb";
    QList<QByteArray> platforms;
    for (const QByteArray &name : names.split(';'))
        platforms.append(name.contains(':') ? name.left(name.indexOf(':')) : name);
    return platforms;
}

QByteArray waylandDisplayName()
{
    const QByteArray name = qgetenv("WAYLAND_DISPLAY");
    return name.isEmpty() ? QByteArray("wayland-0") : name;
}

bool waylandDisplayAnswers()
{
    QByteArray name = waylandDisplayName();
    if (!name.startsWith('/'))
        name = qgetenv("XDG_RUNTIME_DIR") + '/' + name;
    sockaddr_un address{};
    if (name.size() >= qsizetype(sizeof address.sun_path))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.constData(), name.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool answered =
        fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    if (fd >= 0)
        ::close(fd);
    return answered;
}

bool xDisplayAnswers()
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    const bool answered = !xcb_connection_has_error(connection);
    xcb_disconnect(connection);
    return answered;
}

void holdWhileConnecting(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        held.append({type, QString::fromUtf8(context.category), text});
        return;
    }
    // Qt ends here also when a display is there but its platform plugin cannot be loaded
    // (a library missing, a platform misspelt); then Qt's own words say what is wrong.
    QByteArrayList tried;
    bool displayThere = false;
    for (const QByteArray &platform : platformsTried()) {
        const bool wayland = platform.startsWith("wayland");
        if (!wayland && platform != "xcb") {
            displayThere = true;
            break;
        }
        displayThere = displayThere || (wayland ? waylandDisplayAnswers() : xDisplayAnswers());
        const QByteArray name = wayland ? waylandDisplayName() : qgetenv("DISPLAY");
        tried.append((wayland ? "Wayland display " : "X display ") +
                     (name.isEmpty() ? QByteArray("(none set)") : name));
    }
    if (displayThere) {
        held.append({QtCriticalMsg, QString::fromUtf8(context.category), text});
        passOnHeldMessages();
        std::_Exit(1);
    }
    std::fprintf(stderr, "pafuro: cannot open %s\n", tried.join(" nor ").constData());
    std::fflush(stderr);
    std::_Exit(1);
}

// An accessibility bus serving this X display publishes its address on the root window. Read
// before the application connects, on a connection of its own.
bool accessibilityBusOnDisplay()
{
    xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
    bool found = false;
    if (!xcb_connection_has_error(connection)) {
        static const char name[] = "AT_SPI_BUS";
        xcb_intern_atom_reply_t *atom = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, 1, sizeof name - 1, name), nullptr);
        if (atom && atom->atom != XCB_ATOM_NONE) {
            const xcb_window_t root =
                xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
            xcb_get_property_reply_t *property = xcb_get_property_reply(
                connection, xcb_get_property(connection, 0, root, atom->atom, XCB_ATOM_ANY, 0, 0),
                nullptr);
            found = property && property->type != XCB_ATOM_NONE;
            std::free(property);
        }
        std::free(atom);
    }
    xcb_disconnect(connection);
    return found;
}

} // namespace

void holdMessagesWhileConnecting()
{
    qtHandler = qInstallMessageHandler(holdWhileConnecting);
}

void passOnHeldMessages()
{
    qInstallMessageHandler(qtHandler);
    for (const auto &[type, category, text] : std::as_const(held)) {
        if (!qtHandler)
            break;
        const QByteArray name = category.toUtf8();
        qtHandler(type, QMessageLogContext(nullptr, 0, nullptr, name.constData()), text);
    }
    held.clear();
}

void skipSessionBusLaunch()
{
    // Qt's accessibility bridge asks the session bus whether a screen reader listens. With no
    // session bus to be found, D-Bus would launch one for that: a fork while the window is being
    // built, and a bus daemon left running after it has gone, where the bridge would find no
    // accessibility bus anyway. It is left to do so when accessibility is asked for, or when an
    // accessibility bus serves this display (which the bridge finds through that launch). Newer
    // Qt asks the session bus already while the application object is made, so this is decided
    // before that.
    if (qEnvironmentVariableIsSet("DBUS_SESSION_BUS_ADDRESS") ||
        qEnvironmentVariableIsSet("QT_LINUX_ACCESSIBILITY_ALWAYS_ON") ||
        qEnvironmentVariableIsSet("AT_SPI_BUS_ADDRESS"))
        return;
    const QString runtimeDir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtimeDir.isEmpty() && QFileInfo::exists(runtimeDir + QStringLiteral("/bus")))
        return;
    if (!platformsTried().first().startsWith("wayland") && accessibilityBusOnDisplay())
        return;
    qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
}
