// The entry and its run modes: the command line, the executable's directory, and, in this process
// under a window title and mutex name of its own, application mode without its window, the
// service's worker without the manager, and COM around a failing mail job.
#include "core/command_line.h"
#include "core/entry.h"
#include "core/mail_step.h"
#include "core/module_directory.h"
#include "core/service_host.h"
#include "support/support.h"
#include <stdexcept>
#include <thread>

namespace tolvarn {
namespace {

TEST(command_line, the_mode_comes_from_whole_word_options_behind_the_program_name) {
    const struct {
        const wchar_t* line;
        command expected;
    } rows[] = {
        {L"tolvarn.exe -Stop_APPL", command::stop_appl},
        {L"tolvarn.exe -stop_appl2 -stop_appl_ -stop_appl.", command::stop_appl},  // not a letter ends a word
        {L"tolvarn.exe -stop_appl\u00e9", command::stop_appl},                      // nor does code 128 and above
        {L"tolvarn.exe -stop_applx x-stop_appl \"-stop_appl\" -stop_app a\u00a0-stop_appl", command::run},
        {L"tolvarn.exe -stop_applX\ta\r\n-stop_service", command::stop_service},  // the search goes on
        {L"tolvarn.exe -stop_service -start_service", command::start_service},
        {L"tolvarn.exe -start_service -stop_service -STOP_APPL", command::stop_appl},
        {L"\"C:\\x -stop_appl\\-start_service.exe\" -stop_service", command::stop_service},
        {L"tolvarn.exe", command::run},
    };
    for (const auto& r : rows)
        EXPECT_EQ(choose_command(skip_program_name(r.line)), r.expected) << testing::PrintToString(std::wstring(r.line));
    EXPECT_EQ(choose_command(nullptr), command::run);
    // The program name ends at the first blank outside quotes; only that one character goes.
    const wchar_t* const names[][2] = {{L"prog.exe  -x", L" -x"}, {L"\"C:\\a b\"\\p.exe -x", L"-x"}, {L"\"open -x", L""}};
    for (const auto& n : names) EXPECT_EQ(std::wstring(skip_program_name(n[0])), n[1]);
    EXPECT_EQ(skip_program_name(nullptr), nullptr);
}

TEST(module_directory, is_the_directory_of_this_program_however_long_its_path) {
    wchar_t own[MAX_PATH * 4];
    const std::wstring path(own, ::GetModuleFileNameW(nullptr, own, MAX_PATH * 4));
    EXPECT_EQ(module_directory(), path.substr(0, path.find_last_of(L'\\') + 1));
    // A reader that cuts names at the buffer and records the sizes asked: a full buffer is too small.
    for (const std::size_t length : {259u, 260u, 32767u}) {
        const std::wstring name(length, L'd');
        std::vector<unsigned long> sizes;
        EXPECT_EQ(read_module_path([&](wchar_t* buffer, unsigned long size) {
            sizes.push_back(size);
            return static_cast<unsigned long>(std::copy_n(name.begin(), std::min<std::size_t>(length, size), buffer) - buffer);
        }), name);
        EXPECT_EQ(sizes.size(), length == 259 ? 1u : length == 260 ? 2u : 8u);
    }
    EXPECT_EQ(read_module_path([](wchar_t*, unsigned long size) { return size; }), L"");  // never fits: no endless loop
    const wchar_t* const rows[][2] = {{L"C:\\dir\\p.exe", L"C:\\dir\\"}, {L"C:p.exe", L"C:\\"}, {L"p.exe", L""}};
    for (const auto& r : rows) EXPECT_EQ(directory_part(r[0]), r[1]);
}

class run_modes : public ::testing::Test {
protected:
    void SetUp() override {
        app_config = app_config_record();
        app_config.product_name = L"Tolvarn unit " + std::to_wstring(::GetCurrentProcessId());
        app_config.mutex_name = app_config.product_name + L"_prg_mutex";
        ts::capture::out().clear();
    }
    HWND window() const { return ::FindWindowW(nullptr, app_config.product_name.c_str()); }
};

LRESULT CALLBACK refuse_windows(int code, WPARAM, LPARAM) { return code == HCBT_CREATEWND; }

TEST_F(run_modes, application_mode_without_its_window_ends_with_minus_1) {
    const HHOOK hook = ::SetWindowsHookExW(WH_CBT, &refuse_windows, nullptr, ::GetCurrentThreadId());
    const int code = dispatch_command_line(L"-stop_applx x-stop_appl");  // look-alikes: the watchdog runs
    ::UnhookWindowsHookEx(hook);
    EXPECT_EQ(code, -1);
    EXPECT_EQ(ts::capture::out().text().rfind("Cannot create the main window (error ", 0), 0u);
}

TEST_F(run_modes, service_worker_has_its_window_when_running_and_a_stop_ends_it) {
    ASSERT_TRUE(start_service_worker());
    EXPECT_NE(window(), nullptr);
    EXPECT_EQ(service_status_now().dwCurrentState, DWORD(SERVICE_RUNNING));
    EXPECT_EQ(service_ctrl_handler(SERVICE_CONTROL_INTERROGATE, 0, nullptr, nullptr), DWORD(NO_ERROR));
    EXPECT_EQ(service_ctrl_handler(SERVICE_CONTROL_PAUSE, 0, nullptr, nullptr), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_EQ(service_ctrl_handler(SERVICE_CONTROL_STOP, 0, nullptr, nullptr), DWORD(NO_ERROR));
    EXPECT_EQ(service_status_now().dwCurrentState, DWORD(SERVICE_STOPPED));
    EXPECT_EQ(service_status_now().dwWin32ExitCode, 0u);
    EXPECT_EQ(window(), nullptr);
    EXPECT_EQ(ts::capture::out().text(), "");
}

TEST_F(run_modes, com_is_uninitialised_when_the_mail_job_throws) {
    mail_sender = [](const std::wstring&, const std::wstring&, const std::wstring&, const std::wstring&,
                     const std::vector<std::wstring>&, const std::vector<std::wstring>&, const std::wstring&,
                     const std::wstring&, const std::vector<std::wstring>&,
                     const smtp_transport&) { throw std::runtime_error("mail"); };
    HRESULT again = E_FAIL;
    std::thread([&] {
        EXPECT_THROW(send_notification(mail_job()), std::runtime_error);
        again = ::CoInitialize(nullptr);  // S_FALSE if COM was left initialised
        ::CoUninitialize();
    }).join();
    mail_sender = &send_mail;
    EXPECT_EQ(again, S_OK);
    EXPECT_EQ(ts::capture::out().text(), "Sending e-mail.\n");
}

}  // namespace
}  // namespace tolvarn
