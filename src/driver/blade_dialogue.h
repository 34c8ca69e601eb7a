// The dialogue of the blade build: the blade-type menu, the wall thickness of a hollow blade and
// the material menu, asked on the console when the build reaches them.
#pragma once

#include "blade/blade.h"

namespace textio {
class Console;
}

namespace driver {

// The build's choices asked on `con` (which must outlive them):
//  * the blade type: the menu, again until the answer is 1 (solid) or 2 (hollow);
//  * the wall thickness: again until it is 0 or more (a negative wall would put the inner
//    outline outside the outer one; a wall thicker than half a section is allowed, the inner
//    outline then closes up and the section counts as solid there);
//  * the material: the menu once, any number taken (one not listed gives no mass).
blade::BuildChoices blade_choices(textio::Console& con);

}  // namespace driver
