#pragma once

#include <QtGlobal>

// Qt looks, for every widget that asked for a repaint, through all the siblings above it for
// opaque ones that hide part of it. A board has thousands of components side by side, so a Run
// start or a file open that repaints them all would cost the square of their number. Nothing on
// the board is marked opaque (each component is composed with the wire lines above it), so the
// search saves no painting there. Programs that show boards call this before they make the
// application object (Qt reads the switch once); a value the user set is left alone.
inline void SwitchOffOpaqueSiblingSearch() {
    if (!qEnvironmentVariableIsSet("QT_NO_SUBTRACTOPAQUESIBLINGS"))
        qputenv("QT_NO_SUBTRACTOPAQUESIBLINGS", "1");
}
