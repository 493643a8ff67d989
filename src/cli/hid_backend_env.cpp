#include "cli/hid_backend_env.h"

#include "app/hid_backend_choice.h"

namespace txisp::cli {

Result<std::unique_ptr<hid::HidBackend>> OpenHidBackend(platform::Clock& clock) {
    Result<app::HidBackendChoice> choice =
        app::CreateHidBackend(app::HidBackendEnv::FromProcess(), clock);
    if (!choice) return Result<std::unique_ptr<hid::HidBackend>>::Fail(choice.error());
    return std::move(choice->Backend);
}

}  // namespace txisp::cli
