/* The recording CDO stand-in (see README.md). Written in C against the platform's cdosys.h: every
   vtable is the platform's own struct filled by designated initialisers, so the compiler puts each
   implemented method in its slot and checks its signature; the other slots get `unexpected`. */
#include "cdo_stand_in.h"

#include <ole2.h>
#include <oaidl.h>
#include <ocidl.h>
#include <cdosys.h>
#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

#ifndef _WIN64
#error "the shared `unexpected` slot relies on the x64 calling convention"
#endif

static const GUID ids[4] = {/* CLSID_Message, CLSID_Configuration, IID_IMessage, IID_IConfiguration */
    {0xCD000001, 0x8B95, 0x11D1, {0x82, 0xDB, 0x00, 0xC0, 0x4F, 0xB1, 0x62, 0x5D}},
    {0xCD000002, 0x8B95, 0x11D1, {0x82, 0xDB, 0x00, 0xC0, 0x4F, 0xB1, 0x62, 0x5D}},
    {0xCD000020, 0x8B95, 0x11D1, {0x82, 0xDB, 0x00, 0xC0, 0x4F, 0xB1, 0x62, 0x5D}},
    {0xCD000022, 0x8B95, 0x11D1, {0x82, 0xDB, 0x00, 0xC0, 0x4F, 0xB1, 0x62, 0x5D}}};

static wchar_t record_path[MAX_PATH], fault_call[64];
static HRESULT fault_result;
static DWORD send_delay;
static LONG calls, live;
static int from_file; /* loaded as a DLL: the settings come from cdo_stand_in.cfg */

/* ---- the record: one line per call, built here and appended with one write ---- */
static wchar_t text[1 << 16];
static size_t used;

static void add(const wchar_t* s, size_t n) {
    n = n < sizeof text / sizeof *text - 2 - used ? n : sizeof text / sizeof *text - 2 - used;
    wmemcpy(text + used, s, n);
    used += n;
}

static void write_line(void) {
    static char bytes[sizeof text * 2];
    DWORD done;
    text[used++] = L'\n';
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, (int)used, bytes, sizeof bytes, NULL, NULL);
    HANDLE file = CreateFileW(record_path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, NULL);
    if (record_path[0] && file != INVALID_HANDLE_VALUE) WriteFile(file, bytes, (DWORD)n, &done, NULL), CloseHandle(file);
    used = 0;
}

/* A value: a BSTR as its text (the configuration namespace shortened to "cdo:"; "\\", "\n", "\r"
   and "\xHH" for control characters), else tagged with its type. */
static void add_value(const VARIANT* v) {
    static const wchar_t ns[] = L"http://schemas.microsoft.com/cdo/configuration/";
    wchar_t t[64];
    int n = 0;
    if (V_VT(v) == VT_BSTR) {
        const wchar_t* s = V_BSTR(v) ? V_BSTR(v) : L"";
        size_t size = SysStringLen(V_BSTR(v)), skip = size >= 47 && !wcsncmp(s, ns, 47) ? 47 : 0;
        if (skip) add(L"cdo:", 4);
        for (size_t i = skip; i < size; ++i) {
            if (s[i] == L'\\' || s[i] == L'\n' || s[i] == L'\r') add(s[i] == L'\\' ? L"\\\\" : s[i] == L'\n' ? L"\\n" : L"\\r", 2);
            else if (s[i] < 0x20) add(t, (size_t)_snwprintf(t, 8, L"\\x%02x", s[i]));
            else add(s + i, 1);
        }
    } else if (V_VT(v) == VT_I4 || V_VT(v) == VT_BOOL) {
        n = _snwprintf(t, 63, V_VT(v) == VT_I4 ? L"i4:%ld" : L"bool:%ld", V_VT(v) == VT_I4 ? V_I4(v) : V_BOOL(v));
    } else if (V_VT(v) == VT_DATE) {
        SYSTEMTIME d = {0};
        VariantTimeToSystemTime(V_DATE(v), &d);
        n = _snwprintf(t, 63, L"date:%04u-%02u-%02u %02u:%02u:%02u", d.wYear, d.wMonth, d.wDay, d.wHour, d.wMinute, d.wSecond);
    } else if (V_VT(v) == (VT_ARRAY | VT_UI1) && SafeArrayGetDim(V_ARRAY(v)) == 1) {
        /* The count and an FNV-1a hash of the bytes keep a 1 MiB attachment to one short line. */
        LONG low = 0, high = -1;
        unsigned char* bytes;
        unsigned hash = 2166136261u;
        SafeArrayGetLBound(V_ARRAY(v), 1, &low);
        SafeArrayGetUBound(V_ARRAY(v), 1, &high);
        if (SUCCEEDED(SafeArrayAccessData(V_ARRAY(v), (void**)&bytes))) {
            for (LONG i = 0; i <= high - low; ++i) hash = (hash ^ bytes[i]) * 16777619u;
            SafeArrayUnaccessData(V_ARRAY(v));
        }
        n = _snwprintf(t, 63, low ? L"bytes:%ld:%08x:from%ld" : L"bytes:%ld:%08x", high - low + 1, hash, low);
    } else {
        n = _snwprintf(t, 63, L"vt%u", V_VT(v));
    }
    add(t, n > 0 ? (size_t)n : 0);
}

/* Records "<object> <method>[ <value or text>]" and answers the fault for this call: the configured
   result when the call's number in its message or its method name is the configured one, else 0. */
static HRESULT call(const wchar_t* object, const wchar_t* method, const VARIANT* value, const wchar_t* arg) {
    const LONG number = InterlockedIncrement(&calls);
    const HRESULT fault = fault_result && (!wcscmp(fault_call, method) || _wtol(fault_call) == number) ? fault_result : 0;
    wchar_t t[40];
    add(object, wcslen(object)), add(L" ", 1), add(method, wcslen(method));
    if (value || arg) add(L" ", 1);
    if (value) add_value(value);
    if (arg) add(arg, wcslen(arg));
    if (fault) add(t, (size_t)_snwprintf(t, 39, L" -> 0x%08lX", (unsigned long)fault));
    write_line();
    return fault;
}

/* ---- objects: one struct for every interface; the vtable tells them apart ---- */
typedef struct object {
    const void* vtbl;
    LONG refs;
    int log_release; /* the four objects a message holds: their release (and what is left) is recorded */
    wchar_t name[24];
} object;
#define NAME(self) (((object*)(self))->name)

static IMessageVtbl message_vtbl;
static IConfigurationVtbl configuration_vtbl;
static IBodyPartVtbl part_vtbl;
static IBodyPartsVtbl parts_vtbl;
static FieldsVtbl fields_vtbl;
static FieldVtbl field_vtbl;
static _StreamVtbl stream_vtbl;

static HRESULT WINAPI query_interface(object* o, REFIID iid, void** out) {
    const int own = IsEqualGUID(iid, &ids[o->vtbl == &message_vtbl ? 2 : o->vtbl == &configuration_vtbl ? 3 : 0]);
    *out = own || IsEqualGUID(iid, &IID_IUnknown) || IsEqualGUID(iid, &IID_IDispatch) ? o : NULL;
    return *out ? (InterlockedIncrement(&o->refs), S_OK) : E_NOINTERFACE;
}
static ULONG WINAPI add_ref(object* o) { return (ULONG)InterlockedIncrement(&o->refs); }
static ULONG WINAPI release(object* o) {
    const LONG refs = InterlockedDecrement(&o->refs), left = refs ? live : InterlockedDecrement(&live);
    wchar_t t[48];
    if (!refs && o->log_release) add(t, (size_t)_snwprintf(t, 47, L"~%ls %ld", o->name, left)), write_line();
    if (!refs) free(o);
    return (ULONG)refs;
}

/* Every slot the product does not use. x64 has one calling convention, in which the caller owns
   and cleans the stack and `this` comes first, in a register; every method of these interfaces
   answers an HRESULT. So a function that reads only `this` and answers an HRESULT fits any slot.
   The call is recorded, so that a test sees it. */
static HRESULT WINAPI unexpected(object* o) {
    const HRESULT fault = call(o->name, L"unexpected", NULL, NULL);
    return fault ? fault : E_NOTIMPL;
}

/* A call that hands out a new object named `name` + `suffix`: recorded, faulted, or made. */
static HRESULT hand_out(const wchar_t* caller, const wchar_t* method, const VARIANT* value, const void* vtbl,
                        const wchar_t* name, const wchar_t* suffix, void** out) {
    const HRESULT fault = call(caller, method, value, NULL);
    object* o = fault ? NULL : calloc(1, sizeof *o);
    if ((*out = o)) {
        *o = (object){vtbl, 1, !wcscmp(name, L"msg") || !wcscmp(name, L"cfg"), {0}};
        _snwprintf(o->name, 23, L"%ls%ls", name, suffix);
        InterlockedIncrement(&live);
    }
    return fault ? fault : o ? S_OK : E_OUTOFMEMORY;
}

static VARIANT text_value(BSTR s) {
    VARIANT v;
    V_VT(&v) = VT_BSTR, V_BSTR(&v) = s;
    return v;
}
#define PUT_TEXT(type, prefix, m) \
    static HRESULT WINAPI prefix##_##m(type* self, BSTR s) { VARIANT v = text_value(s); return call(NAME(self), L"" #m, &v, NULL); }
PUT_TEXT(IMessage, message, put_BCC) PUT_TEXT(IMessage, message, put_CC) PUT_TEXT(IMessage, message, put_FollowUpTo)
PUT_TEXT(IMessage, message, put_From) PUT_TEXT(IMessage, message, put_ReplyTo) PUT_TEXT(IMessage, message, put_Subject)
PUT_TEXT(IMessage, message, put_To) PUT_TEXT(IMessage, message, put_TextBody) PUT_TEXT(IBodyPart, part, put_Charset)
#define GET_FIELDS(type, prefix) static HRESULT WINAPI prefix##_get_Fields(type* self, Fields** out) { \
        return hand_out(NAME(self), L"get_Fields", NULL, &fields_vtbl, NAME(self), L".fields", (void**)out); }
GET_FIELDS(IMessage, message) GET_FIELDS(IConfiguration, configuration) GET_FIELDS(IBodyPart, part)

static HRESULT WINAPI message_get_BodyPart(IMessage* self, IBodyPart** out) {
    return hand_out(NAME(self), L"get_BodyPart", NULL, &part_vtbl, L"body", L"", (void**)out);
}
static HRESULT WINAPI message_get_Attachments(IMessage* self, IBodyParts** out) {
    return hand_out(NAME(self), L"get_Attachments", NULL, &parts_vtbl, L"atts", L"", (void**)out);
}
static HRESULT WINAPI message_put_Configuration(IMessage* self, IConfiguration* c) {
    return call(NAME(self), L"put_Configuration", NULL, !c ? L"null" : NAME(c)[0] == L'c' ? L"cfg" : L"foreign");
}
static HRESULT WINAPI message_Send(IMessage* self) {
    const HRESULT fault = call(NAME(self), L"Send", NULL, NULL);
    if (send_delay) Sleep(send_delay), add(L"msg Send done", 13), write_line();
    return fault;
}
static HRESULT WINAPI part_GetDecodedContentStream(IBodyPart* self, _Stream** out) {
    return hand_out(NAME(self), L"GetDecodedContentStream", NULL, &stream_vtbl, NAME(self), L".stream", (void**)out);
}
static HRESULT WINAPI parts_Add(IBodyParts* self, __LONG32 index, IBodyPart** out) {
    const VARIANT v = {.vt = VT_I4, .lVal = index};
    return hand_out(NAME(self), L"Add", &v, &part_vtbl, L"att", L"", (void**)out);
}
static HRESULT WINAPI fields_get_Item(Fields* self, VARIANT index, Field** out) {
    return hand_out(NAME(self), L"get_Item", &index, &field_vtbl, L"field", L"", (void**)out);
}
static HRESULT WINAPI fields_Update(Fields* self) { return call(NAME(self), L"Update", NULL, NULL); }
static HRESULT WINAPI field_put_Value(Field* self, VARIANT value) { return call(NAME(self), L"put_Value", &value, NULL); }
static HRESULT WINAPI stream_put_Type(_Stream* self, StreamTypeEnum type) {
    const VARIANT v = {.vt = VT_I4, .lVal = type};
    return call(NAME(self), L"put_Type", &v, NULL);
}
static HRESULT WINAPI stream_Write(_Stream* self, VARIANT bytes) { return call(NAME(self), L"Write", &bytes, NULL); }
static HRESULT WINAPI stream_Flush(_Stream* self) { return call(NAME(self), L"Flush", NULL, NULL); }

#define UNKNOWN .QueryInterface = (void*)query_interface, .AddRef = (void*)add_ref, .Release = (void*)release
static IMessageVtbl message_vtbl = {UNKNOWN, .put_BCC = message_put_BCC, .put_CC = message_put_CC,
    .put_FollowUpTo = message_put_FollowUpTo, .put_From = message_put_From, .put_ReplyTo = message_put_ReplyTo,
    .put_Subject = message_put_Subject, .put_To = message_put_To, .put_TextBody = message_put_TextBody,
    .get_Attachments = message_get_Attachments, .put_Configuration = message_put_Configuration,
    .get_BodyPart = message_get_BodyPart, .get_Fields = message_get_Fields, .Send = message_Send};
static IConfigurationVtbl configuration_vtbl = {UNKNOWN, .get_Fields = configuration_get_Fields};
static IBodyPartVtbl part_vtbl = {UNKNOWN, .get_Fields = part_get_Fields, .put_Charset = part_put_Charset,
    .GetDecodedContentStream = part_GetDecodedContentStream};
static IBodyPartsVtbl parts_vtbl = {UNKNOWN, .Add = parts_Add};
static FieldsVtbl fields_vtbl = {UNKNOWN, .get_Item = fields_get_Item, .Update = fields_Update};
static FieldVtbl field_vtbl = {UNKNOWN, .put_Value = field_put_Value};
static _StreamVtbl stream_vtbl = {UNKNOWN, .put_Type = stream_put_Type, .Write = stream_Write, .Flush = stream_Flush};

static void fill_unset_slots(void) {
    void* const tables[] = {&message_vtbl, &configuration_vtbl, &part_vtbl, &parts_vtbl, &fields_vtbl, &field_vtbl, &stream_vtbl};
    const size_t sizes[] = {sizeof message_vtbl, sizeof configuration_vtbl, sizeof part_vtbl, sizeof parts_vtbl,
                            sizeof fields_vtbl, sizeof field_vtbl, sizeof stream_vtbl};
    for (size_t t = 0; t < sizeof tables / sizeof *tables; ++t)
        for (void** slot = tables[t]; (char*)slot < (char*)tables[t] + sizes[t]; ++slot)
            if (!*slot) *slot = (void*)unexpected;
}

/* ---- class objects ---- */
typedef struct { const IClassFactoryVtbl* lpVtbl; const void* object_vtbl; const wchar_t* name; } factory;
static void read_settings(void);

static HRESULT WINAPI factory_query(IClassFactory* self, REFIID iid, void** out) {
    *out = IsEqualGUID(iid, &IID_IUnknown) || IsEqualGUID(iid, &IID_IClassFactory) ? self : NULL;
    return *out ? S_OK : E_NOINTERFACE;
}
static ULONG WINAPI factory_ref(IClassFactory* self) { return (void)self, 2; }
static HRESULT WINAPI factory_lock(IClassFactory* self, BOOL lock) { return (void)self, (void)lock, S_OK; }
static HRESULT WINAPI factory_create(IClassFactory* self, IUnknown* outer, REFIID iid, void** out) {
    const factory* f = (const factory*)self;
    object* o;
    *out = NULL;
    if (f->object_vtbl == &message_vtbl) { /* a new message: fresh settings, calls counted from 1 */
        if (from_file) read_settings();
        calls = 0;
    }
    HRESULT result = outer ? CLASS_E_NOAGGREGATION : hand_out(f->name, L"create", NULL, f->object_vtbl, f->name, L"", (void**)&o);
    if (result) return result;
    result = query_interface(o, iid, out);
    release(o);
    return result;
}
static const IClassFactoryVtbl factory_vtbl = {factory_query, factory_ref, factory_ref, factory_create, factory_lock};
static const factory factories[2] = {{&factory_vtbl, &message_vtbl, L"msg"}, {&factory_vtbl, &configuration_vtbl, L"cfg"}};
static DWORD cookies[2];

HRESULT cdo_register_in_process(void) {
    HRESULT result = S_OK;
    fill_unset_slots();
    for (int i = 0; i < 2 && SUCCEEDED(result); ++i)
        result = CoRegisterClassObject(&ids[i], (IUnknown*)&factories[i], CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookies[i]);
    return result;
}
void cdo_unregister_in_process(void) { CoRevokeClassObject(cookies[0]), CoRevokeClassObject(cookies[1]); }

void cdo_configure(const wchar_t* record, const wchar_t* fault, unsigned send_delay_ms) {
    const wchar_t* equals = wcschr(fault, L'=');
    _snwprintf(record_path, MAX_PATH - 1, L"%ls", record);
    _snwprintf(fault_call, 63, L"%.*ls", equals ? (int)(equals - fault) : 0, fault);
    fault_result = equals ? (HRESULT)wcstoul(equals + 1, NULL, 0) : 0;
    send_delay = send_delay_ms;
    calls = 0;
}
long cdo_live_objects(void) { return live; }

/* ---- the DLL, for other processes ---- */
STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    fill_unset_slots();
    from_file = 1;
    for (int i = 0; i < 2; ++i)
        if (IsEqualGUID(clsid, &ids[i])) return factory_query((IClassFactory*)&factories[i], iid, out);
    return *out = NULL, CLASS_E_CLASSNOTAVAILABLE;
}
STDAPI DllCanUnloadNow(void) { return live ? S_FALSE : S_OK; }

/* `name` in the folder of `module` (null: the program). */
static void beside(HMODULE module, const wchar_t* name, wchar_t* path) {
    const DWORD n = GetModuleFileNameW(module, path, MAX_PATH);
    wchar_t* end = wcsrchr(path, L'\\') ? wcsrchr(path, L'\\') + 1 : path + n;
    _snwprintf(end, MAX_PATH - 1 - (size_t)(end - path), L"%ls", name);
}

/* cdo_stand_in.cfg holds the UTF-16 lines "record", "fault" and "delay" of cdo_configure. */
static void read_settings(void) {
    HMODULE module = NULL;
    wchar_t path[MAX_PATH], settings[1024] = {0}, *fault, *delay = NULL;
    DWORD got = 0;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCWSTR)(void*)read_settings, &module);
    beside(module, L"cdo_stand_in.cfg", path);
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL, OPEN_EXISTING, 0, NULL);
    if (file != INVALID_HANDLE_VALUE) ReadFile(file, settings, sizeof settings - 2, &got, NULL), CloseHandle(file);
    if ((fault = wcschr(settings, L'\n')) && (delay = wcschr(fault + 1, L'\n'))) *fault++ = 0, *delay++ = 0;
    cdo_configure(delay ? settings : L"", delay ? fault : L"", delay ? (unsigned)_wtol(delay) : 0);
}

static void class_key(int i, wchar_t* key, const wchar_t* sub) {
    wchar_t id[40];
    StringFromGUID2(&ids[i], id, 40);
    _snwprintf(key, 79, L"CLSID\\%ls%ls", id, sub);
}

LSTATUS cdo_register_dll(void) {
    wchar_t dll[MAX_PATH], key[80];
    LSTATUS status = ERROR_SUCCESS;
    beside(NULL, L"cdo_stand_in.dll", dll);
    for (int i = 0; i < 2 && status == ERROR_SUCCESS; ++i) {
        class_key(i, key, L"\\InprocServer32");
        status = RegSetKeyValueW(HKEY_CLASSES_ROOT, key, NULL, REG_SZ, dll, (DWORD)((wcslen(dll) + 1) * sizeof *dll));
        if (status == ERROR_SUCCESS)
            status = RegSetKeyValueW(HKEY_CLASSES_ROOT, key, L"ThreadingModel", REG_SZ, L"Both", sizeof L"Both");
    }
    return status;
}
void cdo_unregister_dll(void) {
    wchar_t key[80];
    for (int i = 0; i < 2; ++i) class_key(i, key, L""), RegDeleteTreeW(HKEY_CLASSES_ROOT, key), RegDeleteKeyW(HKEY_CLASSES_ROOT, key);
}

BOOL cdo_configure_dll(const wchar_t* record, const wchar_t* fault, unsigned send_delay_ms) {
    wchar_t path[MAX_PATH], settings[1024];
    DWORD done = 0;
    beside(NULL, L"cdo_stand_in.cfg", path);
    if (!record) return DeleteFileW(path) || GetLastError() == ERROR_FILE_NOT_FOUND;
    const int n = _snwprintf(settings, 1023, L"%ls\n%ls\n%u", record, fault, send_delay_ms);
    HANDLE file = CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, NULL, CREATE_ALWAYS, 0, NULL);
    const BOOL ok = file != INVALID_HANDLE_VALUE && n > 0 && WriteFile(file, settings, (DWORD)n * sizeof *settings, &done, NULL);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return ok;
}
