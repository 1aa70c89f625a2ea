#pragma once
// Window layouts are Designer files compiled into the program. A window
// loads its layout, finds its controls by the names the workflow knows them
// by, and takes their texts from its section of the language file, named by
// the layout's "languageSection" property.
#include <QString>
#include <QWidget>
#include <stdexcept>

namespace salvora {

// A layout that lacks a control the code needs: a broken build, reported
// loudly instead of a window that silently does nothing.
class SkinError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Loads ":/skin/ui/<name>.ui" as the only content of `host` (which gets a
// margin-free layout holding it). Throws SkinError when it cannot be loaded.
QWidget* LoadSkin(const QString& name, QWidget* host);

QObject* FindControl(QWidget* form, const char* name);

// The control `name` of a loaded layout; throws SkinError naming the layout
// and the control when it is missing or of another kind.
template <typename T>
T* Bind(QWidget* form, const char* name) {
  T* control = qobject_cast<T*>(FindControl(form, name));
  if (!control)
    throw SkinError(QStringLiteral("%1: control '%2' missing or of the wrong kind")
                        .arg(form->objectName(), QString::fromLatin1(name))
                        .toStdString());
  return control;
}

// The language section a layout takes its texts from.
QString LanguageSectionOf(const QWidget* form);

// Gives every control named in the layout's language section its text: the
// text of labels and buttons, the title of group boxes, the tab text of tab
// pages, the window title for the key that names the layout itself.
void ApplyTexts(QWidget* form);

}  // namespace salvora
