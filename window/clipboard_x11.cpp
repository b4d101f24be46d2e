#include "clipboard_x11.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QString>

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <cstdint>
#include <cstring>

namespace x11 {

namespace {

Display* QtDisplay()
{
    const auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    return x11 ? x11->display() : nullptr;
}

} // namespace

std::optional<std::vector<const char*>> ListedTargets(const QByteArray& reply, std::span<const char* const> targets)
{
    Display* display = QtDisplay();
    if (!display)
        return std::nullopt;
    // Looked up by name, so that no atom the owner sends is taken on trust.
    std::vector<Atom> atoms(targets.size(), None);
    XInternAtoms(display, const_cast<char**>(targets.data()), static_cast<int>(targets.size()), True, atoms.data());
    std::vector<const char*> listed;
    for (std::size_t target = 0; target < targets.size(); ++target) {
        // The reply holds one 32-bit atom after the other.
        for (qsizetype at = 0; atoms[target] != None && at + 4 <= reply.size(); at += 4) {
            std::uint32_t atom = 0;
            std::memcpy(&atom, reply.constData() + at, sizeof atom);
            if (atom == atoms[target]) {
                listed.push_back(targets[target]);
                break;
            }
        }
    }
    return listed;
}

std::optional<QString> CompoundText(const QByteArray& property)
{
    Display* display = QtDisplay();
    if (!display)
        return std::nullopt;
    XTextProperty text{reinterpret_cast<unsigned char*>(const_cast<char*>(property.constData())),
                       XInternAtom(display, "COMPOUND_TEXT", False), 8, static_cast<unsigned long>(property.size())};
    char** list = nullptr;
    int count = 0;
    if (Xutf8TextPropertyToTextList(display, &text, &list, &count) < Success)
        return std::nullopt;
    // A NUL in the property ends one of its strings and begins the next.
    QByteArray utf8;
    for (int string = 0; string < count; ++string) {
        if (string > 0)
            utf8 += '\0';
        utf8 += list[string];
    }
    if (list)
        XFreeStringList(list);
    return QString::fromUtf8(utf8);
}

} // namespace x11
