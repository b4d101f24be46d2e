#pragma once

// The X11 clipboard's own terms, through Qt's connection to the display.
// Without an X11 display (on Wayland) each answers nothing.

#include <optional>
#include <span>
#include <vector>

class QByteArray;
class QString;

namespace x11 {

// Of `targets`, those a TARGETS reply lists, in the order given.
std::optional<std::vector<const char*>> ListedTargets(const QByteArray& reply, std::span<const char* const> targets);
// The text of a COMPOUND_TEXT property, each NUL in it kept; nothing if it does not convert.
std::optional<QString> CompoundText(const QByteArray& property);

} // namespace x11
