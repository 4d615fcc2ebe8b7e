/* The recording CDO stand-in (README.md). C against the platform's cdosys.h: every vtable is the
   platform's own struct filled by designated initialisers, so the compiler puts each implemented
   method in its slot and checks its signature; every other slot gets `unexpected`. */
#include "cdo_stand_in.h"

#include <ole2.h>
#include <oaidl.h>
#include <ocidl.h>
#include <cdosys.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>

_Static_assert(sizeof(void*) == 8, "the shared `unexpected` slot relies on the x64 calling convention");

static const GUID ids[4] = {/* CLSID_Message, CLSID_Configuration, IID_IMessage, IID_IConfiguration */
    {0xCD000001, 0x8B95, 0x11D1, {0x82, 0xDB, 0x00, 0xC0, 0x4F, 0xB1, 0x62, 0x5D}},
    {0xCD000002, 0x8B95, 0x11D1, {0x82, 0xDB, 0x00, 0xC0, 0x4F, 0xB1, 0x62, 0x5D}},
    {0xCD000020, 0x8B95, 0x11D1, {0x82, 0xDB, 0x00, 0xC0, 0x4F, 0xB1, 0x62, 0x5D}},
    {0xCD000022, 0x8B95, 0x11D1, {0x82, 0xDB, 0x00, 0xC0, 0x4F, 0xB1, 0x62, 0x5D}}};
static wchar_t record_path[MAX_PATH], fault_call[64], line[1 << 16];
static int used, from_file; /* from_file: loaded as a DLL, the settings come from cdo_stand_in.cfg */
static HRESULT fault_result;
static DWORD send_delay;
static LONG calls, live;

static void add(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    const int n = _vsnwprintf(line + used, sizeof line / sizeof *line - 2 - used, format, args);
    used += n > 0 ? n : 0;
    va_end(args);
}

static void write_line(void) { /* UTF-8, appended with one write */
    static char bytes[sizeof line * 2];
    DWORD done;
    line[used++] = L'\n';
    const int n = WideCharToMultiByte(CP_UTF8, 0, line, used, bytes, sizeof bytes, NULL, NULL);
    HANDLE file =
        CreateFileW(record_path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS, 0, 0);
    if (file != INVALID_HANDLE_VALUE) WriteFile(file, bytes, (DWORD)n, &done, NULL), CloseHandle(file);
    used = 0;
}

/* A BSTR as its text ("\n", "\r" for line breaks; the configuration namespace as "cdo:"), other
   values tagged with their type; a byte array as its count and FNV-1a hash (1 MiB in one line). */
static void add_value(const VARIANT* v) {
    const wchar_t* s = V_BSTR(v);
    SYSTEMTIME t = {0};
    LONG low = 0, high = -1;
    unsigned char* bytes;
    unsigned hash = 2166136261u;
    if (V_VT(v) == VT_BSTR) {
        UINT i = s && !wcsncmp(s, L"http://schemas.microsoft.com/cdo/configuration/", 47) ? (add(L"cdo:"), 47) : 0;
        for (; i < SysStringLen(V_BSTR(v)); ++i) add(s[i] == L'\n' ? L"\\n" : s[i] == L'\r' ? L"\\r" : L"%lc", s[i]);
    } else if (V_VT(v) == VT_I4 || V_VT(v) == VT_BOOL) {
        add(V_VT(v) == VT_I4 ? L"i4:%ld" : L"bool:%ld", V_VT(v) == VT_I4 ? V_I4(v) : V_BOOL(v));
    } else if (V_VT(v) == VT_DATE && VariantTimeToSystemTime(V_DATE(v), &t)) {
        add(L"date:%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
    } else if (V_VT(v) == (VT_ARRAY | VT_UI1) && SafeArrayGetDim(V_ARRAY(v)) == 1) {
        SafeArrayGetLBound(V_ARRAY(v), 1, &low), SafeArrayGetUBound(V_ARRAY(v), 1, &high);
        if (SUCCEEDED(SafeArrayAccessData(V_ARRAY(v), (void**)&bytes))) {
            for (LONG k = 0; k <= high - low; ++k) hash = (hash ^ bytes[k]) * 16777619u;
            SafeArrayUnaccessData(V_ARRAY(v));
        }
        add(low ? L"bytes:%ld:%08x:from%ld" : L"bytes:%ld:%08x", high - low + 1, hash, low);
    } else {
        add(L"vt%u", V_VT(v));
    }
}

/* Records "<object> <method>[ <value or text>][ -> fault]" and answers the fault for this call: the
   configured result when its number in the message or its method name is the configured one. */
static HRESULT call(const wchar_t* object, const wchar_t* method, const VARIANT* value, const wchar_t* text) {
    const LONG number = InterlockedIncrement(&calls);
    const HRESULT fault =
        fault_result && (!wcscmp(fault_call, method) || _wtol(fault_call) == number) ? fault_result : 0;
    add(L"%ls %ls%ls%ls", object, method, value || text ? L" " : L"", text ? text : L"");
    if (value) add_value(value);
    if (fault) add(L" -> 0x%08lX", (unsigned long)fault);
    write_line();
    return fault;
}

/* One struct for the objects of every interface; the vtable tells them apart. The four objects of a
   message (msg, cfg and their fields) record their release and how many objects are left. */
typedef struct object {
    const void* vtbl;
    LONG refs;
    int log_release;
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
    if (!refs && o->log_release) add(L"~%ls %ld", o->name, left), write_line();
    if (!refs) free(o);
    return (ULONG)refs;
}

/* Every slot the product does not use. x64 has one calling convention, in which the caller cleans
   the stack and `this` comes first, in a register, and every method of these interfaces answers an
   HRESULT: so a function that reads only `this` and answers an HRESULT fits any of these slots. */
static HRESULT WINAPI unexpected(object* o) {
    const HRESULT fault = call(o->name, L"unexpected", NULL, NULL);
    return fault ? fault : E_NOTIMPL;
}

/* A call that hands out a new object named `name` + `suffix`: recorded, then faulted or made. */
static HRESULT hand_out(const wchar_t* caller, const wchar_t* method, const VARIANT* value, const void* vtbl,
                        const wchar_t* name, const wchar_t* suffix, void** out) {
    const HRESULT fault = call(caller, method, value, NULL);
    object* o = fault ? NULL : calloc(1, sizeof *o);
    if ((*out = o)) {
        *o = (object){vtbl, 1, !wcscmp(name, L"msg") || !wcscmp(name, L"cfg"), {0}};
        _snwprintf(o->name, 23, L"%ls%ls", name, suffix), InterlockedIncrement(&live);
    }
    return fault ? fault : o ? S_OK : E_OUTOFMEMORY;
}

#define PUT_TEXT(type, prefix, m) static HRESULT WINAPI prefix##_##m(type* self, BSTR s) { \
        VARIANT v = {.vt = VT_BSTR, .bstrVal = s}; return call(NAME(self), L"" #m, &v, NULL); }
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
    if (send_delay) Sleep(send_delay), add(L"msg Send done"), write_line();
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
static HRESULT WINAPI field_put_Value(Field* self, VARIANT value) {
    return call(NAME(self), L"put_Value", &value, NULL);
}
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
    const struct { void* table; size_t size;
    } tables[] = {{&message_vtbl, sizeof message_vtbl}, {&configuration_vtbl, sizeof configuration_vtbl},
                  {&part_vtbl, sizeof part_vtbl},       {&parts_vtbl, sizeof parts_vtbl},
                  {&fields_vtbl, sizeof fields_vtbl},   {&field_vtbl, sizeof field_vtbl},
                  {&stream_vtbl, sizeof stream_vtbl}};
    for (size_t t = 0; t < 7; ++t)
        for (size_t i = 0; i < tables[t].size / sizeof(void*); ++i)
            if (!((void**)tables[t].table)[i]) ((void**)tables[t].table)[i] = unexpected;
}

/* The class objects; a new message re-reads the settings (DLL) and counts its calls from 1. */
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
    if (f->object_vtbl == &message_vtbl) from_file ? read_settings() : (void)0, calls = 0;
    HRESULT result =
        outer ? CLASS_E_NOAGGREGATION : hand_out(f->name, L"create", NULL, f->object_vtbl, f->name, L"", (void**)&o);
    if (result) return *out = NULL, result;
    result = query_interface(o, iid, out);
    return release(o), result;
}
static const IClassFactoryVtbl factory_vtbl = {factory_query, factory_ref, factory_ref, factory_create, factory_lock};
static const factory factories[2] = {{&factory_vtbl, &message_vtbl, L"msg"},
                                     {&factory_vtbl, &configuration_vtbl, L"cfg"}};

HRESULT cdo_register_in_process(void) {
    DWORD cookie;
    HRESULT result = S_OK;
    fill_unset_slots();
    for (int i = 0; i < 2 && SUCCEEDED(result); ++i)
        result =
            CoRegisterClassObject(&ids[i], (IUnknown*)&factories[i], CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    return result;
}

void cdo_configure(const wchar_t* record, const wchar_t* fault, unsigned send_delay_ms) {
    const wchar_t* equals = wcschr(fault, L'=');
    _snwprintf(record_path, MAX_PATH - 1, L"%ls", record);
    _snwprintf(fault_call, 63, L"%.*ls", equals ? (int)(equals - fault) : 0, fault);
    fault_result = equals ? (HRESULT)wcstoul(equals + 1, NULL, 0) : 0;
    send_delay = send_delay_ms, calls = 0;
}

long cdo_live_objects(void) { return live; }

/* ---- the DLL, for other processes ---- */
STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* out) {
    fill_unset_slots(), from_file = 1;
    for (int i = 0; i < 2; ++i)
        if (IsEqualGUID(clsid, &ids[i])) return factory_query((IClassFactory*)&factories[i], iid, out);
    return *out = NULL, CLASS_E_CLASSNOTAVAILABLE;
}
STDAPI DllCanUnloadNow(void) { return live ? S_FALSE : S_OK; }

/* `name` in the folder of `module` (null: the program). */
static void beside(HMODULE module, const wchar_t* name, wchar_t* path) {
    wchar_t* end = path + GetModuleFileNameW(module, path, MAX_PATH);
    while (end > path && end[-1] != L'\\') --end;
    _snwprintf(end, MAX_PATH - 1 - (size_t)(end - path), L"%ls", name);
}

/* cdo_stand_in.cfg holds the arguments of cdo_configure as an ini section. */
static void read_settings(void) {
    HMODULE module = NULL;
    wchar_t path[MAX_PATH], record[MAX_PATH], fault[64];
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       (LPCWSTR)(void*)read_settings, &module);
    beside(module, L"cdo_stand_in.cfg", path);
    GetPrivateProfileStringW(L"cdo", L"record", L"", record, MAX_PATH, path);
    GetPrivateProfileStringW(L"cdo", L"fault", L"", fault, 64, path);
    cdo_configure(record, fault, GetPrivateProfileIntW(L"cdo", L"delay", 0, path));
}

BOOL cdo_configure_dll(const wchar_t* record, const wchar_t* fault, unsigned send_delay_ms) {
    wchar_t path[MAX_PATH], delay[16];
    beside(NULL, L"cdo_stand_in.cfg", path);
    _snwprintf(delay, 15, L"%u", send_delay_ms);
    if (!record) return DeleteFileW(path) || GetLastError() == ERROR_FILE_NOT_FOUND;
    return WritePrivateProfileStringW(L"cdo", L"record", record, path) &&
           WritePrivateProfileStringW(L"cdo", L"fault", fault, path) &&
           WritePrivateProfileStringW(L"cdo", L"delay", delay, path);
}

static wchar_t* class_key(int i, wchar_t* key, const wchar_t* sub) {
    wchar_t id[40];
    StringFromGUID2(&ids[i], id, 40);
    return _snwprintf(key, 79, L"CLSID\\%ls%ls", id, sub), key;
}

LSTATUS cdo_register_dll(void) {
    wchar_t dll[MAX_PATH], key[80];
    LSTATUS status = ERROR_SUCCESS;
    beside(NULL, L"cdo_stand_in.dll", dll);
    for (int i = 0; i < 2 && !status; ++i) {
        status = RegSetKeyValueW(HKEY_CLASSES_ROOT, class_key(i, key, L"\\InprocServer32"), NULL, REG_SZ, dll,
                                 (DWORD)((wcslen(dll) + 1) * sizeof *dll));
        if (!status)
            status = RegSetKeyValueW(HKEY_CLASSES_ROOT, key, L"ThreadingModel", REG_SZ, L"Both", sizeof L"Both");
    }
    return status;
}

void cdo_unregister_dll(void) {
    wchar_t key[80];
    for (int i = 0; i < 2; ++i)
        RegDeleteTreeW(HKEY_CLASSES_ROOT, class_key(i, key, L"")), RegDeleteKeyW(HKEY_CLASSES_ROOT, key);
}
