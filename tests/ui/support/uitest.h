// Shared helpers of the Qt test programs: a private data directory, finding
// controls by id, and acting on modal dialogs and popup menus as they open.
// Whole-file reads and writes are the core tests' (common/testfiles.h).
#pragma once
#include <QApplication>
#include <QString>
#include <QWidget>
#include <functional>
#include <string>

#include "common/testfiles.h"

namespace uitest {

// Points ZARNS_DATA_DIR, XDG_* and HOME into a fresh temporary tree and
// selects the offscreen platform unless another one was asked for. Call
// before the QApplication exists.
void Setup();
// Removes the temporary tree.
void Teardown();
// The temporary tree, ending with "/".
const std::string& Root();
// A new empty directory under the root, ending with "/".
std::string FreshDir(const std::string& name);
// Empties the data directory.
void ClearDataDir();

// The child of `w` whose objectName is the id.
template <typename T = QWidget>
T* ById(QWidget* w, int id) {
  return w->findChild<T*>(QString::number(id));
}

// Runs `f` on the next modal dialog or popup menu that opens (checked every
// few milliseconds for up to `timeoutMs`); `f` must close it. Returns
// immediately; the handler runs from the event loop of the modal window.
void OnNextModal(std::function<void(QWidget*)> f, int timeoutMs = 5000);
// Closes any modal dialog or popup nobody waits for (after about two
// seconds, with a warning naming it), so a fault cannot hang the run.
void InstallModalGuard();
// Whether the handler of the last OnNextModal ran.
bool ModalHandled();

}  // namespace uitest

// main() of a Qt test program with a private data directory.
#define ZARNS_UI_TEST_MAIN(TestClass)    \
  int main(int argc, char** argv) {      \
    uitest::Setup();                     \
    int rc = 0;                          \
    {                                    \
      QApplication app(argc, argv);      \
      TestClass t;                       \
      rc = QTest::qExec(&t, argc, argv); \
    }                                    \
    uitest::Teardown();                  \
    return rc;                           \
  }
