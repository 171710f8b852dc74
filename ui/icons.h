#pragma once
// The program's pictures, drawn once at start: a 16 by 16 icon per switch family and
// the toolbar pictures.

#include <QIcon>

namespace vellmark::ui {

// The icon of family index 1 to 8; a null icon for any other index.
QIcon FamilyIcon(int index);

enum class ToolbarPicture { Add, Remove, Clear, Save, Open, Analyse, Stop, Export, About };
QIcon ToolbarIcon(ToolbarPicture picture);

}  // namespace vellmark::ui
