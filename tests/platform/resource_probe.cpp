// Reports what the running program finds in its own resource bundle, so tests
// can check the path through /proc/self/exe in a real process.
//
//   resource_probe        "count <n>", then "<id> <size>" per entry
//   resource_probe <id>   the entry's bytes as lowercase hex; exit 2 if absent

#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/resources.h"

namespace {

int PrintIndex(const txisp::platform::ResourceBundle& bundle) {
    std::printf("count %zu\n", bundle.size());
    for (const auto& [id, bytes] : bundle.entries()) {
        std::printf("%u %zu\n", static_cast<unsigned>(id), bytes.size());
    }
    return 0;
}

int PrintEntry(const txisp::platform::ResourceBundle& bundle, const char* id_text) {
    const unsigned long id = std::strtoul(id_text, nullptr, 10);
    auto bytes = bundle.Find(static_cast<txisp::platform::ResourceId>(id));
    if (!bytes) {
        std::fprintf(stderr, "no resource %lu\n", id);
        return 2;
    }
    for (std::uint8_t byte : *bytes)
        std::printf("%02x", static_cast<unsigned>(byte));
    std::printf("\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const auto bundle = txisp::platform::ResourceBundle::FromRunningProgram();
    return argc > 1 ? PrintEntry(bundle, argv[1]) : PrintIndex(bundle);
}
