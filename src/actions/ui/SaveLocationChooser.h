#pragma once

#include <QString>

class QWidget;

namespace fetchora {

// Asks the user where a download goes. The program's own answer is a save-as
// file dialog (FileDialogSaveLocationChooser, next to the download window);
// tests answer from a script.
class SaveLocationChooser
{
public:
    virtual ~SaveLocationChooser() = default;
    // suggestedPath: the folder to start in joined with the offered file name.
    // Returns the full path chosen, or an empty string when the user cancelled.
    virtual QString chooseSaveFile(QWidget *parent, const QString &suggestedPath) = 0;
};

} // namespace fetchora
