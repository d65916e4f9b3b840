// Measures the round trip of one player command (WAmpCall of IPC_ISPLAYING)
// against a tplayer.exe of its own. Usage: wampcall_roundtrip [COUNT]
#include "host.h"

#include "winamp.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5000;
    e2e::Process player;
    SetEnvironmentVariableA("TPLAYER_JOURNAL", nullptr);
    if (!e2e::Start(e2e::TplayerExe(), {}, &player)) {
        std::fprintf(stderr, "cannot start %s\n", e2e::TplayerExe().c_str());
        return 1;
    }
    HWND window = nullptr;
    e2e::WaitUntil(
        [&] {
            for (const HWND hwnd : e2e::TopLevelWindows(WAMP_WINDOWCLASS))
                if (e2e::WindowProcess(hwnd) == player.pid)
                    window = hwnd;
            return window != nullptr;
        },
        10000);
    if (window == nullptr || WAmpInstAdd(window) != 1) {
        std::fprintf(stderr, "no player window\n");
        e2e::StopAll();
        return 1;
    }

    for (int i = 0; i < 100; ++i)
        WAmpCall(0, 0, IPC_ISPLAYING);
    std::vector<double> us(static_cast<std::size_t>(count));
    for (auto& sample : us) {
        const auto start = std::chrono::steady_clock::now();
        WAmpCall(0, 0, IPC_ISPLAYING);
        sample = std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count();
    }
    std::sort(us.begin(), us.end());
    double sum = 0;
    for (const double sample : us)
        sum += sample;
    const auto at = [&](double q) { return us[static_cast<std::size_t>(q * (us.size() - 1))]; };
    std::printf("WAmpCall round trip over %d calls: mean %.1f us, min %.1f, median %.1f, p99 %.1f, max %.1f\n", count,
                sum / count, us.front(), at(0.5), at(0.99), us.back());
    e2e::StopAll();
    return 0;
}
