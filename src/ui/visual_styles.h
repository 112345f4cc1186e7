// The nine visual styles of the application (commands 210 to 218): a widget
// style and a palette each. The choice is kept under "ApplicationLook".
#pragma once

#include <QString>

namespace quill::ui {

inline constexpr int kVisualStyleCount = 9;
inline constexpr int kDefaultLook = 212;

// The menu name of style `id` (210..218).
QString VisualStyleName(int id);
// Applies style `id` to the whole application; an id out of range applies
// the default.
void ApplyVisualStyle(int id);

}  // namespace quill::ui
