// txisp-gui: the application object creates the main dialog, shows it and
// ends when it closes. It reads no command-line arguments; the simulated bus
// is chosen by TXISP_SIM, as for the command-line tool.

#include <QApplication>
#include <QMessageBox>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "app/hid_backend_choice.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/resources.h"
#include "platform/user_folders.h"
#include "ui/main_dlg.h"

namespace txisp::ui {
namespace {

// Set by the start-up benchmark: the program says when the window has first
// been painted and ends there.
constexpr const char* kStartupProbeVariable = "TXISP_STARTUP_PROBE";

template <typename T>
std::optional<T> ValueOrNone(Result<T> result) {
    if (!result.ok()) return std::nullopt;
    return std::move(*result);
}

class CTX5K3314_ISPApp {
public:
    int InitInstance() {
        platform::SteadyClock clock;
        Result<app::HidBackendChoice> backend =
            app::CreateHidBackend(app::HidBackendEnv::FromProcess(), clock);
        if (!backend.ok()) {
            std::fprintf(stderr, "txisp-gui: %s\n", backend.error().c_str());
            QMessageBox::critical(nullptr, QStringLiteral("Error"),
                                  QString::fromStdString(backend.error()));
            return EXIT_FAILURE;
        }
        const platform::ResourceBundle resources = platform::ResourceBundle::FromRunningProgram();
        CTX5K3314_ISPDlg dialog(MainWindowDeps{
            *backend->Backend, clock, resources, ValueOrNone(platform::UserTempFolder()),
            ValueOrNone(platform::UserStateFolder()),
            platform::ModuleFileName().value_or(std::filesystem::path("txisp-gui"))});
        if (std::getenv(kStartupProbeVariable) != nullptr) {
            QObject::connect(&dialog, &CTX5K3314_ISPDlg::FirstPainted, &dialog, [] {
                std::printf("first_paint\n");
                std::fflush(stdout);
                QCoreApplication::exit(EXIT_SUCCESS);
            });
        }
        dialog.show();
        return QApplication::exec();
    }
};

}  // namespace
}  // namespace txisp::ui

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    return txisp::ui::CTX5K3314_ISPApp().InitInstance();
}
