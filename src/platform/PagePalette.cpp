// PagePalette: the colours the program's own screens are drawn in, whatever the desktop's.
#include "PagePalette.h"

namespace {

QPalette lightColours()
{
    // The button colour sets the window, text, base and shading roles of every group; the roles
    // it leaves out would otherwise come from the desktop.
    QPalette palette(QColor(239, 239, 239));
    palette.setColor(QPalette::AlternateBase, QColor(247, 247, 247));
    palette.setColor(QPalette::Highlight, QColor(48, 140, 198));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::Link, QColor(0, 0, 238));
    palette.setColor(QPalette::LinkVisited, QColor(85, 26, 139));
    palette.setColor(QPalette::ToolTipBase, QColor(255, 255, 220));
    palette.setColor(QPalette::ToolTipText, Qt::black);
    palette.setColor(QPalette::PlaceholderText, QColor(0, 0, 0, 150));
    palette.setColor(QPalette::Disabled, QPalette::PlaceholderText, QColor(0, 0, 0, 80));
    return palette;
}

} // namespace

QPalette PagePalette::palette()
{
    const QPalette light = lightColours();
    QPalette palette;
    for (const QPalette::ColorGroup group :
        { QPalette::Active, QPalette::Inactive, QPalette::Disabled }) {
        for (int role = 0; role < QPalette::NColorRoles; ++role) {
            const auto colourRole = QPalette::ColorRole(role);
            if (colourRole != QPalette::Window && colourRole != QPalette::NoRole)
                palette.setBrush(group, colourRole, light.brush(group, colourRole));
        }
    }
    return palette;
}
