#pragma once
// Display formats of the date-time picker. The program gives them in the
// notation of the pickers it was written for ("dd MMMM yyyy",
// "HH : mm : ss", 'quoted' literals); QDateTimeEdit has a notation of its own
// that differs in the 12-hour, year and AM/PM elements and treats more letters
// as elements.

#include <QString>

namespace somnex::calendar {

// The QDateTimeEdit display format for a picker format.
QString toQtDisplayFormat(const QString &pickerFormat);

// The format a picker shows before one is set, by its style flags.
QString defaultPickerFormat(int style);

} // namespace somnex::calendar
