// The service installer against the real service control manager, with service_stub.exe (a minimal
// service of the build) under a test-only name beyond ASCII; and the installer's two file helpers.
#include "cl/service/install_service.h"
#include "cl/service/scm_test_util.h"

namespace {

using namespace scm_test;
const wchar_t* const name = L"tolvarn_test_\u00e9";
const std::string install = "Installing service+ (N)\nopening service+\n",
                  removing = "Deinstalling service+ (N)\nopening service+\n",
                  done = "Installing service-\nN service status: ",
                  deleted = "deleting service\nopening service-\nservice deleted and gone\n" + done + "query failed\n";

// No test finds or leaves the test service.
struct installer : ::testing::Test {
    installer() { remove_service(name); ts::capture::out().clear(); }
    ~installer() override { remove_service(name); }
};

// The build's service_stub.exe with `stop_ms` as the test service, started unless told not to.
handle add_stub(const wchar_t* stop_ms, bool start = true) {
    handle s = create_service(name, L"\"" + ts::build_dir() + L"service_stub.exe\" " + stop_ms);
    EXPECT_TRUE(s && (!start || (::StartServiceW(s.get(), 0, nullptr) && reaches(name, SERVICE_RUNNING))));
    return s;
}

// The narration since the last call, the name as N; a start not yet reported counts as done.
std::string said() {
    std::string text = ts::capture::out().text(), n = ts::utf8(name);
    ts::capture::out().clear();
    for (std::size_t at; (at = text.find(n)) != std::string::npos;) text.replace(at, n.size(), "N");
    const std::size_t pending = text.find("start pending");
    return pending == std::string::npos ? text : text.replace(pending, 13, "running");
}

TEST_F(installer, installs_again_and_removes_with_every_step_narrated) {
    const ts::temp_dir dir(L" with space");
    const std::wstring stub = dir.file(L"service_stub.exe");
    ASSERT_TRUE(::CopyFileW((ts::build_dir() + L"service_stub.exe").c_str(), stub.c_str(), FALSE));
    EXPECT_TRUE(cl::install_service(name, L"Test", L"First", stub.c_str(), SERVICE_WIN32_OWN_PROCESS, true));
    EXPECT_EQ(said(), install + "creating service+\ncreating service-\nstarting service+\nstarting service-\n"
                                "opening service-\n" + done + "running\n");
    EXPECT_EQ(config_text(name), L"16 2 1 LocalSystem|Test|\"" + stub + L"\"|First");
    // The recovery: Wine 8 keeps none and cannot be asked (empty answers), only Windows shows it.
    const auto b = config_of(name, SERVICE_CONFIG_FAILURE_ACTIONS);
    const auto f = config_of(name, SERVICE_CONFIG_FAILURE_ACTIONS_FLAG);
    const auto* a = reinterpret_cast<const SERVICE_FAILURE_ACTIONSW*>(b.data());
    EXPECT_TRUE(b.empty() || (a->dwResetPeriod == 86400 && a->cActions == 3 && f.size() && f[0] &&
                              a->lpsaActions[0].Type == SC_ACTION_RESTART && a->lpsaActions[0].Delay == 10000 &&
                              a->lpsaActions[2].Delay == 60000));

    // Another program's service of that name: running on, only its description changes.
    EXPECT_TRUE(cl::install_service(name, L"Other", L"Second", L"C:\\x y.exe", SERVICE_WIN32_SHARE_PROCESS,
                                    true));
    EXPECT_EQ(said(), install + "not creating service, service already there!\nstarting service+\nStartService failed: "
                                "1056\nstarting service-\nopening service-\n" + done + "running\n");
    EXPECT_EQ(config_text(name), L"16 2 1 LocalSystem|Test|\"" + stub + L"\"|Second");

    EXPECT_TRUE(cl::install_service(name, nullptr, nullptr, stub.c_str(), 0, false));
    EXPECT_EQ(said(), removing + "stopping service\nwaiting until '" + ts::utf8(stub) +
                          "' is writable...\nfinished: file is writable\n" + deleted);
    EXPECT_TRUE(cl::install_service(name, nullptr, nullptr, nullptr, 0, false));
    EXPECT_EQ(said(), removing + done + "query failed\n");
    for (bool start : {true, false}) {  // slow to stop (more than 1 s) or stopped already
        add_stub(L"1500", start);
        EXPECT_TRUE(cl::install_service(name, nullptr, nullptr, nullptr, 0, false));
        EXPECT_EQ(said(), removing + "stopping service\n" + deleted) << start;
    }
    // Refused: a service type the manager does not know, a name it cannot open.
    EXPECT_FALSE(cl::install_service(name, nullptr, nullptr, stub.c_str(), 0x12345, true));
    EXPECT_EQ(said(), install + "creating service+\nCreateService failed: 87\ncreating service-\nopening service-\n" +
                          done + "query failed\n");
    EXPECT_FALSE(cl::install_service(L"a\\b", nullptr, nullptr, nullptr, 0, false));
    EXPECT_EQ(said(), "Deinstalling service+ (a\\b)\nopening service+\nOpenService failed: 123\nInstalling service-\n"
                      "a\\b service status: query failed\n");
}

TEST_F(installer, stop_service_and_wait_follows_the_stop_until_its_time_out_and_gone_tries_2550_ms) {
    add_stub(L"0");  // stops at once, after tries through handles that may not stop, or not even ask
    for (DWORD access : {DWORD(SERVICE_QUERY_STATUS), DWORD(SERVICE_STOP), DWORD(SERVICE_ALL_ACCESS)}) {
        ::SetLastError(0);
        const bool stopped = cl::stop_service_and_wait(open_service(name, access).get(), 1000);
        EXPECT_EQ(stopped ? 0 : ::GetLastError(), access == SERVICE_ALL_ACCESS ? 0u : DWORD(ERROR_ACCESS_DENIED));
    }
    const handle m = manager();  // 8 tries after sleeps of 10, 20, ... 1,280 ms, never shorter
    const DWORD start = ::GetTickCount();
    EXPECT_FALSE(cl::wait_service_gone(m.get(), name));
    EXPECT_GE(::GetTickCount() - start, 2500u);
    for (const wchar_t* stub : {L"800", L"+1000", L"-1"}) {  // polled every wait hint; a stop under way; never
        remove_service(name);
        const handle s = add_stub(stub);
        SERVICE_STATUS status;
        ASSERT_TRUE(*stub != L'+' || ::ControlService(s.get(), SERVICE_CONTROL_STOP, &status));
        ::SetLastError(0);
        const bool stopped = cl::stop_service_and_wait(s.get(), *stub == L'-' ? 1000 : 10000);
        EXPECT_EQ(stopped ? 0 : ::GetLastError(), *stub == L'-' ? DWORD(WAIT_TIMEOUT) : 0u) << ts::utf8(stub);
        EXPECT_EQ(state_of(name), DWORD(stopped ? SERVICE_STOPPED : SERVICE_STOP_PENDING));
    }
    // Once more, now that its stop is under way (endless wait hint).
    EXPECT_EQ(cl::stop_service_and_wait(open_service(name).get(), 500) ? 0 : ::GetLastError(), DWORD(WAIT_TIMEOUT));
    remove_service(name);
    EXPECT_TRUE(cl::wait_service_gone(m.get(), name));
}

TEST(install_service_helpers, is_file_writable_and_quote_service_path) {
    const ts::temp_dir dir;
    const std::wstring file = dir.file(L"prog.exe");
    const DWORD marks = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN, unlocked = ~0u;
    struct row { DWORD attributes, lock_share; bool writable; };  // locked: open for reading with that sharing
    for (const row& r : {row{0, unlocked, true}, row{marks, unlocked, true}, row{marks, FILE_SHARE_READ, false},
                         row{0, FILE_SHARE_READ | FILE_SHARE_WRITE, true}}) {
        ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        ASSERT_TRUE(ts::write_file(file, "MZ"));
        ASSERT_TRUE(::SetFileAttributesW(file.c_str(), r.attributes | FILE_ATTRIBUTE_ARCHIVE));
        const HANDLE lock = r.lock_share == unlocked ? INVALID_HANDLE_VALUE
                                                     : ::CreateFileW(file.c_str(), GENERIC_READ, r.lock_share, nullptr,
                                                                     OPEN_EXISTING, 0, nullptr);
        EXPECT_EQ(cl::is_file_writable(file.c_str()), r.writable) << r.attributes << " " << r.lock_share;
        EXPECT_EQ(::GetFileAttributesW(file.c_str()) & marks, r.attributes);
        EXPECT_EQ(ts::read_file(file), "MZ");
        if (lock != INVALID_HANDLE_VALUE) ::CloseHandle(lock);
    }
    EXPECT_FALSE(cl::is_file_writable(nullptr) || cl::is_file_writable(dir.file(L"missing.exe").c_str()) ||
                 cl::is_file_writable(dir.path().c_str()) || *cl::quote_service_path(nullptr).c_str());

    const wchar_t* const quoting[][2] = {{L"", L""}, {L"C:\\t\\a.exe", L"C:\\t\\a.exe"}, {L" ", L"\" \""},
                                         {L"C:\\P F\\a.exe", L"\"C:\\P F\\a.exe\""}, {L"C:\\a\tb", L"\"C:\\a\tb\""},
                                         {L"\"C:\\P F\\a.exe\"", L"\"C:\\P F\\a.exe\""}};
    for (const auto& r : quoting) EXPECT_EQ(cl::quote_service_path(r[0]), r[1]) << ts::utf8(r[0]);
}

}  // namespace
