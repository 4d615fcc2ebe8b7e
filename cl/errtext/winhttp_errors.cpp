// WinHTTP error texts (codes 12001 to 12186): the system's message tables do not hold them
// unless winhttp.dll is asked directly, so the descriptions are kept here.
#include "cl/errtext/error_text.h"

#include "cl/errtext/code_table.h"
#include "cl/format/convert.h"
#include "cl/format/format.h"

#include <iterator>

namespace cl {

namespace {

constexpr unsigned winhttp_first = 12000;
constexpr unsigned winhttp_last = 12186;

using errtext_detail::code_text;

constexpr code_text winhttp_texts[] = {
    {12001, "Out of handles (should be obsolete and no longer used)."},
    {12002, "The request has timed out."},
    {12004, "An internal error has occurred."},
    {12005, "The URL is invalid."},
    {12006, "The URL specified a scheme other than \"http:\" or \"https:\"."},
    {12007, "The server name cannot be resolved."},
    {12009, "An invalid option value was specified."},
    {12011, "The requested option cannot be set, only queried."},
    {12012, "The WinHTTP function support is being shut down or unloaded."},
    {12015, "The login attempt failed. When this error is encountered, close the request handle "
            "with WinHttpCloseHandle. A new request handle must be created before retrying the "
            "function that originally produced this error."},
    {12017, "The operation was canceled, usually because the handle on which the request was "
            "operating was closed before the operation completed."},
    {12018, "The type of handle supplied is incorrect for this operation."},
    {12019, "The requested operation cannot be carried out because the handle supplied is not "
            "in the correct state."},
    {12029, "The connection to the server failed."},
    {12030, "The connection with the server has been reset or terminated, or an incompatible SSL "
            "protocol was encountered."},
    {12032, "The WinHTTP function failed. The desired function can be retried on the same "
            "request handle."},
    {12037, "Indicates that a required certificate is not within its validity period when "
            "verifying against the current system clock."},
    {12038, "Returned when a certificate CN name does not match the passed value (equivalent to "
            "a CERT_E_CN_NO_MATCH error)."},
    {12044, "The server requires SSL client Authentication. The application retrieves the list "
            "of certificate issuers by calling WinHttpQueryOption with the "
            "WINHTTP_OPTION_CLIENT_CERT_ISSUER_LIST option."},
    {12045, "Indicates that a certificate chain was processed, but terminated in a root "
            "certificate that is not trusted by the trust provider (equivalent to "
            "CERT_E_UNTRUSTEDROOT)."},
    {12057, "Indicates that revocation cannot be checked because the revocation server was "
            "offline (equivalent to CRYPT_E_REVOCATION_OFFLINE)."},
    {12100, "Returned by the HttpRequest object if a requested operation cannot be performed "
            "before calling the Open method."},
    {12101, "Returned by the HttpRequest object if a requested operation cannot be performed "
            "before calling the Send method."},
    {12102, "Returned by the HttpRequest object if a specified option cannot be requested after "
            "the Send method has been called."},
    {12103, "Returned by the HttpRequest object if a specified option cannot be requested after "
            "the Open method has been called."},
    {12150, "The requested header cannot be located."},
    {12152, "The server response cannot be parsed."},
    {12153, "The supplied header is invalid."},
    {12154, "The request made to HttpQueryInfo is invalid."},
    {12155, "The header could not be added because it already exists."},
    {12156, "The redirection failed because either the scheme changed or all attempts made to "
            "redirect failed (default is 5 attempts)."},
    {12157, "An error occurred in the Secure Channel support."},
    {12166, "An error occurred executing the script code in the Proxy Auto-Configuration (PAC) "
            "file."},
    {12167, "The PAC file could not be downloaded. For example, the server referenced by the PAC "
            "URL may not have been reachable, or the server returned a 404 NOT FOUND response."},
    {12169, "Indicates that a certificate is invalid."},
    {12170, "Indicates that a certificate has been revoked (equivalent to CRYPT_E_REVOKED)."},
    {12172, "The WinHTTP function support is not initialized."},
    {12175, "One or more errors were found in the Secure Sockets Layer (SSL) certificate sent by "
            "the server. To determine what type of error was encountered, check for a "
            "WINHTTP_CALLBACK_STATUS_SECURE_FAILURE notification in a status callback function."},
    {12178, "Returned by WinHttpGetProxyForUrl when a proxy for the specified URL cannot be "
            "located."},
    {12179, "Indicates that a certificate is not valid for the requested usage (equivalent to "
            "CERT_E_WRONG_USAGE)."},
    {12180, "Returned by WinHttpDetectAutoProxyConfigUrl if WinHTTP was unable to discover the "
            "URL of the Proxy Auto-Configuration (PAC) file."},
    {12181, "Returned by WinHttpReceiveResponse when a larger number of headers were present in "
            "a response than WinHTTP could receive."},
    {12182, "Returned by WinHttpReceiveResponse when the size of headers received exceeds the "
            "limit for the request handle."},
    {12183, "Returned by WinHttpReceiveResponse when an overflow condition is encountered in the "
            "course of parsing chunked encoding."},
    {12184, "Returned when an incoming response exceeds an internal WinHTTP size limit."},
    {12185, "The context for the SSL client certificate does not have a private key associated "
            "with it. The client certificate may have been imported to the computer without the "
            "private key."},
    {12186, "The application does not have the required privileges to access the private key "
            "associated with the client certificate."},
};

static_assert(std::size(winhttp_texts) == 47, "the WinHTTP codes with their own text");
static_assert(errtext_detail::strictly_ascending(winhttp_texts), "rows sorted by code");

}  // namespace

std::wstring winhttp_error_text(unsigned code) {
    if (const char* text = errtext_detail::find_text(winhttp_texts, code)) {
        return widen(text);
    }
    if (code >= winhttp_first && code <= winhttp_last) {
        return (wformat(L"WinHttp error %u.") % code).str();
    }
    return std::wstring();
}

}  // namespace cl
