#pragma once

class QWidget;

namespace vandrel {

// Labels, pictures and lines are windowless in the layouts we follow: they lie
// below every other control, so a caption overlapping a button never takes
// the button's clicks. Raises the form's other controls above them, keeping
// their order among themselves.
void RaiseWindowedControls(QWidget* form);

// Whether a control is one of those drawn below the others.
bool IsWindowless(const QWidget* control);

}  // namespace vandrel
