// The service installer against the real service control manager, with service_stub.exe (a
// minimal service built for these tests) under a test-only service name.
#include "cl/service/install_service.h"
#include "service_test_util.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace service_test;

const wchar_t* const test_name = L"tolvarn_test_svc";
const std::string test_name_a = "tolvarn_test_svc";

std::string utf8(const std::wstring& text) {
    std::string out;
    for (wchar_t c : text) {
        if (c >= 0x80) return std::string("<non-ASCII>");
        out += static_cast<char>(c);
    }
    return out;
}

using lines = std::vector<std::string>;

class installer : public ::testing::Test {
protected:
    void SetUp() override {
        remove_service(test_name);
        ASSERT_FALSE(service_exists(test_name));
        recording_sink::instance().clear();
    }
    void TearDown() override { remove_service(test_name); }

    // service_stub.exe copied into the test folder; the command line the manager should get.
    std::wstring copy_stub(const temp_dir& dir) {
        const std::wstring target = dir.file(L"service_stub.exe");
        EXPECT_TRUE(::CopyFileW((build_dir() + L"service_stub.exe").c_str(), target.c_str(), FALSE));
        return target;
    }
    // Creates the test service for the build's service_stub.exe with `arguments` and starts it.
    cl::unique_service_handle start_stub(const std::wstring& arguments = L"") {
        std::wstring line = L"\"" + build_dir() + L"service_stub.exe\"";
        if (!arguments.empty()) line += L" " + arguments;
        cl::unique_service_handle service = create_service(test_name, line);
        EXPECT_TRUE(service) << "CreateServiceW error " << ::GetLastError();
        if (!service) return service;
        EXPECT_TRUE(::StartServiceW(service.get(), 0, nullptr)) << "StartServiceW error " << ::GetLastError();
        EXPECT_TRUE(wait_until([&] { return status_of(service.get()).dwCurrentState == SERVICE_RUNNING; }));
        return service;
    }
    lines narration() const { return recording_sink::instance().lines(); }
    static std::string state_line(const char* state) { return test_name_a + " service status: " + state; }
};

TEST_F(installer, installs_with_quoted_path_and_the_given_settings_then_starts) {
    temp_dir dir(L" with space");
    const std::wstring stub = copy_stub(dir);
    ASSERT_TRUE(cl::install_service(test_name, L"Tolvarn Test Service", L"First description", stub.c_str(),
                                    SERVICE_WIN32_OWN_PROCESS, true));
    lines got = narration();
    ASSERT_EQ(got.size(), 9u);
    const lines expected = {"Installing service+ (tolvarn_test_svc)", "opening service+", "creating service+",
                            "creating service-", "starting service+", "starting service-", "opening service-",
                            "Installing service-"};
    EXPECT_EQ(lines(got.begin(), got.end() - 1), expected);
    // StartService may return before the service has reported running.
    EXPECT_TRUE(got.back() == state_line("running") || got.back() == state_line("start pending")) << got.back();
    EXPECT_TRUE(wait_until([] { return state_of(test_name) == SERVICE_RUNNING; }));

    cl::unique_service_handle service = open_service(test_name);
    ASSERT_TRUE(service);
    DWORD needed = 0;
    ::QueryServiceConfigW(service.get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed);
    auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.data());
    ASSERT_TRUE(::QueryServiceConfigW(service.get(), config, needed, &needed));
    EXPECT_EQ(config->dwServiceType, DWORD(SERVICE_WIN32_OWN_PROCESS));
    EXPECT_EQ(config->dwStartType, DWORD(SERVICE_AUTO_START));
    EXPECT_EQ(config->dwErrorControl, DWORD(SERVICE_ERROR_NORMAL));
    EXPECT_EQ(std::wstring(config->lpBinaryPathName), L"\"" + stub + L"\"");
    EXPECT_EQ(std::wstring(config->lpDisplayName), L"Tolvarn Test Service");
    EXPECT_EQ(std::wstring(config->lpServiceStartName ? config->lpServiceStartName : L""), L"LocalSystem");
    EXPECT_EQ(description_of(test_name), L"First description");
}

TEST_F(installer, path_without_space_is_passed_unchanged) {
    temp_dir dir;
    const std::wstring stub = copy_stub(dir);
    ASSERT_TRUE(cl::install_service(test_name, nullptr, nullptr, stub.c_str(), SERVICE_WIN32_OWN_PROCESS, true));
    EXPECT_EQ(binary_path_of(test_name), stub);
}

TEST_F(installer, installing_again_keeps_the_service_restores_the_description_and_succeeds) {
    cl::unique_service_handle service = start_stub();
    ASSERT_TRUE(service);
    const std::wstring path = binary_path_of(test_name);
    SERVICE_DESCRIPTIONW other = {const_cast<wchar_t*>(L"changed meanwhile")};
    ASSERT_TRUE(::ChangeServiceConfig2W(service.get(), SERVICE_CONFIG_DESCRIPTION, &other));
    service.reset();
    recording_sink::instance().clear();

    ASSERT_TRUE(cl::install_service(test_name, L"Other Name", L"Second description", L"C:\\elsewhere\\x.exe",
                                    SERVICE_WIN32_OWN_PROCESS, true));
    const lines expected = {"Installing service+ (tolvarn_test_svc)", "opening service+",
                            "not creating service, service already there!", "starting service+",
                            "StartService failed: 1056", "starting service-", "opening service-",
                            "Installing service-", state_line("running")};
    EXPECT_EQ(narration(), expected);
    EXPECT_EQ(description_of(test_name), L"Second description");
    EXPECT_EQ(binary_path_of(test_name), path);  // nothing else changed
}

TEST_F(installer, failed_creation_answers_false_and_starts_nothing) {
    // An invalid service type: the manager refuses it. Ask it directly for the error first.
    const DWORD bad_type = 0x12345;
    {
        cl::unique_service_handle manager = open_manager();
        ASSERT_TRUE(manager);
        cl::unique_service_handle created(::CreateServiceW(manager.get(), test_name, nullptr, SERVICE_ALL_ACCESS,
                                                           bad_type, SERVICE_AUTO_START, SERVICE_ERROR_NORMAL,
                                                           L"C:\\x.exe", nullptr, nullptr, nullptr, nullptr, L""));
        ASSERT_FALSE(created);
    }
    const DWORD error = ::GetLastError();
    ASSERT_NE(error, 0u);
    recording_sink::instance().clear();

    EXPECT_FALSE(cl::install_service(test_name, nullptr, nullptr, L"C:\\x.exe", bad_type, true));
    const lines expected = {"Installing service+ (tolvarn_test_svc)", "opening service+", "creating service+",
                            "CreateService failed: " + std::to_string(error), "creating service-",
                            "opening service-", "Installing service-", state_line("query failed")};
    EXPECT_EQ(narration(), expected);
    EXPECT_FALSE(service_exists(test_name));
}

TEST_F(installer, removing_with_a_path_stops_waits_for_the_file_deletes_and_sees_it_gone) {
    temp_dir dir(L" with space");
    const std::wstring stub = copy_stub(dir);
    ASSERT_TRUE(cl::install_service(test_name, nullptr, nullptr, stub.c_str(), SERVICE_WIN32_OWN_PROCESS, true));
    ASSERT_TRUE(wait_until([] { return state_of(test_name) == SERVICE_RUNNING; }));
    recording_sink::instance().clear();

    ASSERT_TRUE(cl::install_service(test_name, nullptr, nullptr, stub.c_str(), 0, false));
    const lines expected = {"Deinstalling service+ (tolvarn_test_svc)", "opening service+", "stopping service",
                            "waiting until '" + utf8(stub) + "' is writable...", "finished: file is writable",
                            "deleting service", "opening service-", "service deleted and gone",
                            "Installing service-", state_line("query failed")};
    EXPECT_EQ(narration(), expected);
    EXPECT_FALSE(service_exists(test_name));
    EXPECT_TRUE(cl::is_file_writable(stub.c_str()));
}

TEST_F(installer, removing_without_a_path_skips_the_file_wait) {
    ASSERT_TRUE(start_stub(L"--stop-delay-ms 300 --wait-hint 100"));
    recording_sink::instance().clear();
    ASSERT_TRUE(cl::install_service(test_name, nullptr, nullptr, nullptr, 0, false));
    const lines expected = {"Deinstalling service+ (tolvarn_test_svc)", "opening service+", "stopping service",
                            "deleting service", "opening service-", "service deleted and gone",
                            "Installing service-", state_line("query failed")};
    EXPECT_EQ(narration(), expected);
    EXPECT_FALSE(service_exists(test_name));
}

TEST_F(installer, removing_a_stopped_service_deletes_it) {
    ASSERT_TRUE(create_service(test_name, L"\"" + build_dir() + L"service_stub.exe\""));
    ASSERT_TRUE(cl::install_service(test_name, nullptr, nullptr, nullptr, 0, false));
    const lines expected = {"Deinstalling service+ (tolvarn_test_svc)", "opening service+", "stopping service",
                            "deleting service", "opening service-", "service deleted and gone",
                            "Installing service-", state_line("query failed")};
    EXPECT_EQ(narration(), expected);
}

TEST_F(installer, removing_a_service_that_is_not_installed_writes_four_lines_and_succeeds) {
    ASSERT_TRUE(cl::install_service(test_name, nullptr, nullptr, nullptr, 0, false));
    const lines expected = {"Deinstalling service+ (tolvarn_test_svc)", "opening service+", "Installing service-",
                            state_line("query failed")};
    EXPECT_EQ(narration(), expected);
}

// A service that exists but cannot be opened is not "removed": the call must not report success.
TEST_F(installer, removing_a_service_that_cannot_be_opened_fails) {
    const wchar_t* bad_name = L"";
    cl::unique_service_handle manager = open_manager();
    ASSERT_TRUE(manager);
    ASSERT_EQ(::OpenServiceW(manager.get(), bad_name, SERVICE_ALL_ACCESS), nullptr);
    const DWORD error = ::GetLastError();
    if (error == ERROR_SERVICE_DOES_NOT_EXIST) GTEST_SKIP() << "the manager reports an empty name as missing";
    recording_sink::instance().clear();

    EXPECT_FALSE(cl::install_service(bad_name, nullptr, nullptr, nullptr, 0, false));
    const lines expected = {"Deinstalling service+ ()", "opening service+", "OpenService failed: " + std::to_string(error),
                            "Installing service-", " service status: query failed"};
    EXPECT_EQ(narration(), expected);
}

TEST_F(installer, state_query_and_status_line) {
    DWORD state = 12345;
    EXPECT_FALSE(cl::query_service_state(test_name, state));
    EXPECT_EQ(state, 12345u);
    EXPECT_EQ(cl::service_status_text(test_name), state_line("query failed") + "\n");

    cl::unique_service_handle service = create_service(test_name, L"\"" + build_dir() + L"service_stub.exe\"");
    ASSERT_TRUE(service);
    ASSERT_TRUE(cl::query_service_state(test_name, state));
    EXPECT_EQ(state, DWORD(SERVICE_STOPPED));
    EXPECT_EQ(cl::service_status_text(test_name), state_line("stopped") + "\n");

    ASSERT_TRUE(::StartServiceW(service.get(), 0, nullptr));
    ASSERT_TRUE(wait_until([&] { return cl::query_service_state(test_name, state) && state == SERVICE_RUNNING; }));
    EXPECT_EQ(cl::service_status_text(test_name), state_line("running") + "\n");
}

// --- stop_service_and_wait and wait_service_gone ---

using stopping = installer;

TEST_F(stopping, a_stopped_service_is_stopped_at_once) {
    cl::unique_service_handle service = create_service(test_name, L"\"" + build_dir() + L"service_stub.exe\"");
    ASSERT_TRUE(service);
    EXPECT_TRUE(cl::stop_service_and_wait(service.get(), 10000));
}

TEST_F(stopping, services_that_stop_at_once_or_after_a_while_are_waited_for) {
    struct variant {
        const wchar_t* arguments;
        DWORD timeout_ms;
    };
    const variant variants[] = {
        {L"", 10000},                                      // stopped at the control
        {L"--stop-delay-ms 800 --wait-hint 100", 10000},   // stop pending, polled every wait hint
        {L"--stop-delay-ms 500 --wait-hint 0", 10000},     // wait hint 0: polled without pause
        {L"--stop-delay-ms 300 --wait-hint 60000", 2000},  // a hint longer than the time-out
    };
    for (const variant& v : variants) {
        SCOPED_TRACE(utf8(v.arguments));
        cl::unique_service_handle service = start_stub(v.arguments);
        ASSERT_TRUE(service);
        EXPECT_TRUE(cl::stop_service_and_wait(service.get(), v.timeout_ms)) << "error " << ::GetLastError();
        EXPECT_EQ(status_of(service.get()).dwCurrentState, DWORD(SERVICE_STOPPED));
        service.reset();
        remove_service(test_name);
    }
}

TEST_F(stopping, a_stop_already_under_way_is_waited_for) {
    cl::unique_service_handle service = start_stub(L"--stop-delay-ms 1000 --wait-hint 100");
    ASSERT_TRUE(service);
    SERVICE_STATUS status = {};
    ASSERT_TRUE(::ControlService(service.get(), SERVICE_CONTROL_STOP, &status));
    ASSERT_EQ(status_of(service.get()).dwCurrentState, DWORD(SERVICE_STOP_PENDING));
    EXPECT_TRUE(cl::stop_service_and_wait(service.get(), 10000)) << "error " << ::GetLastError();
    EXPECT_EQ(status_of(service.get()).dwCurrentState, DWORD(SERVICE_STOPPED));
}

TEST_F(stopping, a_service_that_never_stops_times_out_with_258_even_with_an_endless_wait_hint) {
    for (const wchar_t* arguments : {L"--never-stop --wait-hint 4294967295", L"--never-stop --wait-hint 0"}) {
        SCOPED_TRACE(utf8(arguments));
        cl::unique_service_handle service = start_stub(arguments);
        ASSERT_TRUE(service);
        ::SetLastError(0);
        EXPECT_FALSE(cl::stop_service_and_wait(service.get(), 1000));
        EXPECT_EQ(::GetLastError(), DWORD(WAIT_TIMEOUT));
        EXPECT_EQ(status_of(service.get()).dwCurrentState, DWORD(SERVICE_STOP_PENDING));
        // Again, now that the stop is under way: the stop-pending loop times out the same way.
        ::SetLastError(0);
        EXPECT_FALSE(cl::stop_service_and_wait(service.get(), 500));
        EXPECT_EQ(::GetLastError(), DWORD(WAIT_TIMEOUT));
        service.reset();
        remove_service(test_name);
    }
}

TEST_F(stopping, failing_calls_answer_false_with_their_error) {
    ASSERT_TRUE(start_stub());
    cl::unique_service_handle manager = open_manager();
    ASSERT_TRUE(manager);

    // A handle that may query but not stop: the stop control is refused.
    cl::unique_service_handle query_only(::OpenServiceW(manager.get(), test_name, SERVICE_QUERY_STATUS));
    ASSERT_TRUE(query_only);
    SERVICE_STATUS status = {};
    ASSERT_FALSE(::ControlService(query_only.get(), SERVICE_CONTROL_STOP, &status));
    const DWORD refused = ::GetLastError();
    EXPECT_FALSE(cl::stop_service_and_wait(query_only.get(), 10000));
    EXPECT_EQ(::GetLastError(), refused);
    EXPECT_EQ(state_of(test_name), DWORD(SERVICE_RUNNING));

    // A handle that may not even query.
    cl::unique_service_handle no_query(::OpenServiceW(manager.get(), test_name, SERVICE_STOP));
    ASSERT_TRUE(no_query);
    ASSERT_FALSE(::QueryServiceStatus(no_query.get(), &status));
    const DWORD not_queried = ::GetLastError();
    EXPECT_FALSE(cl::stop_service_and_wait(no_query.get(), 10000));
    EXPECT_EQ(::GetLastError(), not_queried);
}

TEST_F(stopping, wait_service_gone_sees_deletion_and_presence) {
    cl::unique_service_handle manager = open_manager();
    ASSERT_TRUE(manager);
    EXPECT_TRUE(cl::wait_service_gone(manager.get(), test_name));

    cl::unique_service_handle service = create_service(test_name, L"\"" + build_dir() + L"service_stub.exe\"");
    ASSERT_TRUE(service);
    EXPECT_FALSE(cl::wait_service_gone(manager.get(), test_name));  // about 2.5 s of tries
    ASSERT_TRUE(::DeleteService(service.get()));
    service.reset();
    EXPECT_TRUE(cl::wait_service_gone(manager.get(), test_name));
}

}  // namespace
