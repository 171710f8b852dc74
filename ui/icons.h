#pragma once
// The program's pictures, drawn with QPainter: the application's icon, a 16 by 16
// icon per switch family and the toolbar pictures. One palette and one line weight
// for all of them.

#include <QIcon>
#include <QPixmap>

namespace vellmark::ui {

// The icon of family index 1 to 8; a null icon for any other index.
QIcon FamilyIcon(int index);

enum class ToolbarPicture { Add, Remove, Clear, Save, Open, Analyse, Stop, Export, About };
QIcon ToolbarIcon(ToolbarPicture picture);

// The application's picture at `size` pixels square, and its icon at the usual sizes.
QPixmap ApplicationPicture(int size);
QIcon ApplicationIcon();

}  // namespace vellmark::ui
