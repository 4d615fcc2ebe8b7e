// Own texts for HRESULTs of the COM, OLE, storage, security, certificate, SetupAPI, smart card
// and COM+ facilities, keyed by the full 32-bit code. The system's message tables lack most of
// them. The texts are the platform SDK's descriptions; a few keep the "%1" insert of the
// original, which is shown as it stands (the texts are never used as format strings).
#include "cl/errtext/error_text.h"

#include "cl/errtext/code_table.h"
#include "cl/format/convert.h"

namespace cl {

namespace {

using errtext_detail::code_text;

// Sorted by code as an unsigned number: success codes first, then 0x8... failures, then the
// security status codes with both severity bits set.
constexpr code_text hresult_texts[] = {
    // Structured storage: success codes
    {0x00030200, "The underlying file was converted to compound file format."},
    {0x00030201, "The storage operation should block until more data is available."},
    {0x00030202, "The storage operation should retry immediately."},
    {0x00030203, "The notified event sink will not influence the storage operation."},
    {0x00030204, "Multiple opens prevent consolidated. (commit succeeded)."},
    {0x00030205, "Consolidation of the storage file failed. (commit succeeded)."},
    {0x00030206, "Consolidation of the storage file is inappropriate. (commit succeeded)."},
    // Interface-dependent success codes
    {0x00040000, "Use the registry database to provide the requested information."},
    {0x00040001, "Success, but static."},
    {0x00040002, "Macintosh clipboard format."},
    {0x00040100, "Successful drop took place."},
    {0x00040101, "Drag-drop operation canceled."},
    {0x00040102, "Use the default cursor."},
    {0x00040130, "Data has same FORMATETC."},
    {0x00040140, "View is already frozen."},
    {0x00040170, "FORMATETC not supported."},
    {0x00040171, "Same cache."},
    {0x00040172, "Some cache(s) not updated."},
    {0x00040180, "Invalid verb for OLE object."},
    {0x00040181, "Verb number is valid but verb cannot be done now."},
    {0x00040182, "Invalid window handle passed."},
    {0x000401A0, "Message is too long; some of it had to be truncated before displaying."},
    {0x000401C0, "Unable to convert OLESTREAM to IStorage."},
    {0x000401E2, "Moniker reduced to itself."},
    {0x000401E4, "Common prefix is this moniker."},
    {0x000401E5, "Common prefix is input moniker."},
    {0x000401E6, "Common prefix is both monikers."},
    {0x000401E7, "Moniker is already registered in running object table."},
    {0x00040200, "An event was able to invoke some but not all of the subscribers."},
    {0x00040202, "An event was delivered but there were no subscribers."},
    {0x00041300, "The task is ready to run at its next scheduled time."},
    {0x00041301, "The task is currently running."},
    {0x00041302, "The task will not run at the scheduled times because it has been disabled."},
    {0x00041303, "The task has not yet run."},
    {0x00041304, "There are no more runs scheduled for this task."},
    {0x00041305, "One or more of the properties that are needed to run this task on a schedule "
                 "have not been set."},
    {0x00041306, "The last run of the task was terminated by the user."},
    {0x00041307, "Either the task has no triggers or the existing triggers are disabled or not "
                 "set."},
    {0x00041308, "Event triggers don't have set run times."},
    {0x0004D000, "An asynchronous operation was specified. The operation has begun, but its "
                 "outcome is not known yet."},
    {0x0004D001, "XACT_S_DEFECT"},
    {0x0004D002, "The method call succeeded because the transaction was read-only."},
    {0x0004D003, "The transaction was successfully aborted. However, this is a coordinated "
                 "transaction, and some number of enlisted resources were aborted outright "
                 "because they could not support abort-retaining semantics."},
    {0x0004D004, "No changes were made during this call, but the sink wants another chance to "
                 "look if any other sinks make further changes."},
    {0x0004D005, "The sink is content and wishes the transaction to proceed. Changes were made "
                 "to one or more resources during this call."},
    {0x0004D006, "The sink is for the moment and wishes the transaction to proceed, but if other "
                 "changes are made following this return by other event sinks then this sink "
                 "wants another chance to look."},
    {0x0004D007, "The transaction was successfully aborted. However, the abort was "
                 "non-retaining."},
    {0x0004D008, "An abort operation was already in progress."},
    {0x0004D009, "The resource manager has performed a single-phase commit of the transaction."},
    {0x0004D00A, "The local transaction has not aborted."},
    {0x0004D010, "The resource manager has requested to be the coordinator (last resource "
                 "manager) for the transaction."},
    // Windows: success codes
    {0x00080012, "Not all the requested interfaces were available."},
    {0x00080013, "The specified machine name was not found in the cache."},
    // Security: success codes
    {0x00090312, "The function completed successfully, but must be called again to complete "
                 "the context."},
    {0x00090313, "The function completed successfully, but CompleteToken must be called."},
    {0x00090314, "The function completed successfully, but both CompleteToken and this function "
                 "must be called to complete the context."},
    {0x00090315, "The logon was completed, but no network authority was available. The logon "
                 "was made using locally known information."},
    {0x00090317, "The context has expired and can no longer be used."},
    {0x00090320, "The credentials supplied were not complete, and could not be verified. "
                 "Additional information can be returned from the context."},
    {0x00090321, "The context data must be renegotiated with the peer."},
    {0x00090323, "There is no LSA mode context associated with this context."},
    {0x0009035C, "A signature operation must be performed before the user can authenticate."},
    // Null facility
    {0x8000000A, "The data necessary to complete this operation is not yet available."},
    {0x80004001, "Not implemented."},
    {0x80004002, "No such interface supported."},
    {0x80004003, "Invalid pointer."},
    {0x80004004, "Operation aborted."},
    {0x80004005, "Unspecified error."},
    {0x80004006, "Thread local storage failure."},
    {0x80004007, "Get shared memory allocator failure."},
    {0x80004008, "Get memory allocator failure."},
    {0x80004009, "Unable to initialize class cache."},
    {0x8000400A, "Unable to initialize RPC services."},
    {0x8000400B, "Cannot set thread local storage channel control."},
    {0x8000400C, "Could not allocate thread local storage channel control."},
    {0x8000400D, "The user supplied memory allocator is unacceptable."},
    {0x8000400E, "The OLE service mutex already exists."},
    {0x8000400F, "The OLE service file mapping already exists."},
    {0x80004010, "Unable to map view of file for OLE service."},
    {0x80004011, "Failure attempting to launch OLE service."},
    {0x80004012, "There was an attempt to call CoInitialize a second time while single "
                 "threaded."},
    {0x80004013, "A Remote activation was necessary but was not allowed."},
    {0x80004014, "A Remote activation was necessary but the server name provided was invalid."},
    {0x80004015, "The class is configured to run as a security id different from the caller."},
    {0x80004016, "Use of Ole1 services requiring DDE windows is disabled."},
    {0x80004017, "A RunAs specification must be <domain name>\\<user name> or simply <user "
                 "name>."},
    {0x80004018, "The server process could not be started. The pathname may be incorrect."},
    {0x80004019, "The server process could not be started as the configured identity. The "
                 "pathname may be incorrect or unavailable."},
    {0x8000401A, "The server process could not be started because the configured identity is "
                 "incorrect. Check the username and password."},
    {0x8000401B, "The client is not allowed to launch this server."},
    {0x8000401C, "The service providing this server could not be started."},
    {0x8000401D, "This computer was unable to communicate with the computer providing the "
                 "server."},
    {0x8000401E, "The server did not respond after being launched."},
    {0x8000401F, "The registration information for this server is inconsistent or incomplete."},
    {0x80004020, "The registration information for this interface is inconsistent or "
                 "incomplete."},
    {0x80004021, "The operation attempted is not supported."},
    {0x80004022, "A dll must be loaded."},
    {0x80004023, "A Microsoft Software Installer error was encountered."},
    {0x80004024, "The specified activation could not occur in the client context as specified."},
    {0x80004025, "Activations on the server are paused."},
    {0x80004026, "Activations on the server are not paused."},
    {0x80004027, "The component or application containing the component has been disabled."},
    {0x80004028, "The common language runtime is not available."},
    {0x80004029, "The thread-pool rejected the submitted asynchronous work."},
    {0x8000402A, "The server started, but did not finish initializing in a timely fashion."},
    {0x8000402B, "Unable to complete the call since there is no COM+ security context inside "
                 "IObjectControl.Activate."},
    {0x80004030, "The provided tracker configuration is invalid."},
    {0x80004031, "The provided thread pool configuration is invalid."},
    {0x80004032, "The provided side-by-side configuration is invalid."},
    {0x80004033, "The server principal name (SPN) obtained during security negotiation is "
                 "malformed."},
    {0x8000FFFF, "Catastrophic failure."},
    // RPC
    {0x80010001, "Call was rejected by callee."},
    {0x80010002, "Call was canceled by the message filter."},
    {0x80010003, "The caller is dispatching an intertask SendMessage call and cannot call out "
                 "via PostMessage."},
    {0x80010004, "The caller is dispatching an asynchronous call and cannot make an outgoing "
                 "call on behalf of this call."},
    {0x80010005, "It is illegal to call out while inside message filter."},
    {0x80010006, "The connection terminated or is in a bogus state and cannot be used any more. "
                 "Other connections are still valid."},
    {0x80010007, "The callee (server [not server application]) is not available and "
                 "disappeared; all connections are invalid. The call may have executed."},
    {0x80010008, "The caller (client) disappeared while the callee (server) was processing a "
                 "call."},
    {0x80010009, "The data packet with the marshalled parameter data is incorrect."},
    {0x8001000A, "The call was not transmitted properly; the message queue was full and was not "
                 "emptied after yielding."},
    {0x8001000B, "The client (caller) cannot marshall the parameter data - low memory, etc."},
    {0x8001000C, "The client (caller) cannot unmarshall the return data - low memory, etc."},
    {0x8001000D, "The server (callee) cannot marshall the return data - low memory, etc."},
    {0x8001000E, "The server (callee) cannot unmarshall the parameter data - low memory, etc."},
    {0x8001000F, "Received data is invalid; could be server or client data."},
    {0x80010010, "A particular parameter is invalid and cannot be (un)marshalled."},
    {0x80010011, "There is no second outgoing call on same channel in DDE conversation."},
    {0x80010012, "The callee (server [not server application]) is not available and "
                 "disappeared; all connections are invalid. The call did not execute."},
    {0x80010100, "System call failed."},
    {0x80010101, "Could not allocate some required resource (memory, events, ...)."},
    {0x80010102, "Attempted to make calls on more than one thread in single threaded mode."},
    {0x80010103, "The requested interface is not registered on the server object."},
    {0x80010104, "RPC could not call the server or could not return the results of calling the "
                 "server."},
    {0x80010105, "The server threw an exception."},
    {0x80010106, "Cannot change thread mode after it is set."},
    {0x80010107, "The method called does not exist on the server."},
    {0x80010108, "The object invoked has disconnected from its clients."},
    {0x80010109, "The object invoked chose not to process the call now. Try again later."},
    {0x8001010A, "The message filter indicated that the application is busy."},
    {0x8001010B, "The message filter rejected the call."},
    {0x8001010C, "A call control interfaces was called with invalid data."},
    {0x8001010D, "An outgoing call cannot be made since the application is dispatching an "
                 "input-synchronous call."},
    {0x8001010E, "The application called an interface that was marshalled for a different "
                 "thread."},
    {0x8001010F, "CoInitialize has not been called on the current thread."},
    {0x80010110, "The version of OLE on the client and server machines does not match."},
    {0x80010111, "OLE received a packet with an invalid header."},
    {0x80010112, "OLE received a packet with an invalid extension."},
    {0x80010113, "The requested object or interface does not exist."},
    {0x80010114, "The requested object does not exist."},
    {0x80010115, "OLE has sent a request and is waiting for a reply."},
    {0x80010116, "OLE is waiting before retrying a request."},
    {0x80010117, "Call context cannot be accessed after call completed."},
    {0x80010118, "Impersonate on unsecure calls is not supported."},
    {0x80010119, "Security must be initialized before any interfaces are marshalled or "
                 "unmarshalled. It cannot be changed once initialized."},
    {0x8001011A, "No security packages are installed on this machine or the user is not logged "
                 "on or there are no compatible security packages between the client and "
                 "server."},
    {0x8001011B, "Access is denied."},
    {0x8001011C, "Remote calls are not allowed for this process."},
    {0x8001011D, "The marshaled interface data packet (OBJREF) has an invalid or unknown "
                 "format."},
    {0x8001011E, "No context is associated with this call. This happens for some custom "
                 "marshalled calls and on the client side of the call."},
    {0x8001011F, "This operation returned because the timeout period expired."},
    {0x80010120, "There are no synchronize objects to wait on."},
    {0x80010121, "Full subject issuer chain SSL principal name expected from the server."},
    {0x80010122, "Principal name is not a valid MSSTD name."},
    {0x80010123, "Unable to impersonate DCOM client."},
    {0x80010124, "Unable to obtain server's security context."},
    {0x80010125, "Unable to open the access token of the current thread."},
    {0x80010126, "Unable to obtain user info from an access token."},
    {0x80010127, "The client who called IAccessControl::IsAccessPermitted was not the trustee "
                 "provided to the method."},
    {0x80010128, "Unable to obtain the client's security blanket."},
    {0x80010129, "Unable to set a discretionary ACL into a security descriptor."},
    {0x8001012A, "The system function, AccessCheck, returned false."},
    {0x8001012B, "Either NetAccessDel or NetAccessAdd returned an error code."},
    {0x8001012C, "One of the trustee strings provided by the user did not conform to the "
                 "<Domain>\\<Name> syntax and it was not the \"*\" string."},
    {0x8001012D, "One of the security identifiers provided by the user was invalid."},
    {0x8001012E, "Unable to convert a wide character trustee string to a multibyte trustee "
                 "string."},
    {0x8001012F, "Unable to find a security identifier that corresponds to a trustee string "
                 "provided by the user."},
    {0x80010130, "The system function, LookupAccountSID, failed."},
    {0x80010131, "Unable to find a trustee name that corresponds to a security identifier "
                 "provided by the user."},
    {0x80010132, "The system function, LookupAccountName, failed."},
    {0x80010133, "Unable to set or reset a serialization handle."},
    {0x80010134, "Unable to obtain the Windows directory."},
    {0x80010135, "Path too long."},
    {0x80010136, "Unable to generate a uuid."},
    {0x80010137, "Unable to create file."},
    {0x80010138, "Unable to close a serialization handle or a file handle."},
    {0x80010139, "The number of ACEs in an ACL exceeds the system limit."},
    {0x8001013A, "Not all the DENY_ACCESS ACEs are arranged in front of the GRANT_ACCESS ACEs in "
                 "the stream."},
    {0x8001013B, "The version of ACL format in the stream is not supported by this "
                 "implementation of IAccessControl."},
    {0x8001013C, "Unable to open the access token of the server process."},
    {0x8001013D, "Unable to decode the ACL in the stream provided by the user."},
    {0x8001013F, "The COM IAccessControl object is not initialized."},
    {0x80010140, "Call Cancellation is disabled."},
    {0x8001FFFF, "An internal error occurred."},
    // Dispatch
    {0x80020001, "Unknown interface."},
    {0x80020003, "Member not found."},
    {0x80020004, "Parameter not found."},
    {0x80020005, "Type mismatch."},
    {0x80020006, "Unknown name."},
    {0x80020007, "No named arguments."},
    {0x80020008, "Bad variable type."},
    {0x80020009, "Exception occurred."},
    {0x8002000A, "Out of present range."},
    {0x8002000B, "Invalid index."},
    {0x8002000C, "Unknown language."},
    {0x8002000D, "Memory is locked."},
    {0x8002000E, "Invalid number of parameters."},
    {0x8002000F, "Parameter not optional."},
    {0x80020010, "Invalid callee."},
    {0x80020011, "Does not support a collection."},
    {0x80020012, "Division by zero."},
    {0x80020013, "Buffer too small."},
    {0x80028016, "Buffer too small."},
    {0x80028017, "Field name not defined in the record."},
    {0x80028018, "Old format or invalid type library."},
    {0x80028019, "Old format or invalid type library."},
    {0x8002801C, "Error accessing the OLE registry."},
    {0x8002801D, "Library not registered."},
    {0x80028027, "Bound to unknown type."},
    {0x80028028, "Qualified name disallowed."},
    {0x80028029, "Invalid forward reference, or reference to uncompiled type."},
    {0x8002802A, "Type mismatch."},
    {0x8002802B, "Element not found."},
    {0x8002802C, "Ambiguous name."},
    {0x8002802D, "Name already exists in the library."},
    {0x8002802E, "Unknown LCID."},
    {0x8002802F, "Function not defined in specified DLL."},
    {0x800288BD, "Wrong module kind for the operation."},
    {0x800288C5, "Size may not exceed 64K."},
    {0x800288C6, "Duplicate ID in inheritance hierarchy."},
    {0x800288CF, "Incorrect inheritance depth in standard OLE hmember."},
    {0x80028CA0, "Type mismatch."},
    {0x80028CA1, "Invalid number of arguments."},
    {0x80028CA2, "I/O Error."},
    {0x80028CA3, "Error creating unique tmp file."},
    {0x80029C4A, "Error loading type library/DLL."},
    {0x80029C83, "Inconsistent property functions."},
    {0x80029C84, "Circular dependency between types/modules."},
    // Structured storage
    {0x80030001, "Unable to perform requested operation."},
    {0x80030002, "%1 could not be found."},
    {0x80030003, "The path %1 could not be found."},
    {0x80030004, "There are insufficient resources to open another file."},
    {0x80030005, "Access Denied."},
    {0x80030006, "Attempted an operation on an invalid object."},
    {0x80030008, "There is insufficient memory available to complete operation."},
    {0x80030009, "Invalid pointer error."},
    {0x80030012, "There are no more entries to return."},
    {0x80030013, "Disk is write-protected."},
    {0x80030019, "An error occurred during a seek operation."},
    {0x8003001D, "A disk error occurred during a write operation."},
    {0x8003001E, "A disk error occurred during a read operation."},
    {0x80030020, "A share violation has occurred."},
    {0x80030021, "A lock violation has occurred."},
    {0x80030050, "%1 already exists."},
    {0x80030057, "Invalid parameter error."},
    {0x80030070, "There is insufficient disk space to complete operation."},
    {0x800300F0, "Illegal write of non-simple property to simple property set."},
    {0x800300FA, "An API call exited abnormally."},
    {0x800300FB, "The file %1 is not a valid compound file."},
    {0x800300FC, "The name %1 is not valid."},
    {0x800300FD, "An unexpected error occurred."},
    {0x800300FE, "That function is not implemented."},
    {0x800300FF, "Invalid flag error."},
    {0x80030100, "Attempted to use an object that is busy."},
    {0x80030101, "The storage has been changed since the last commit."},
    {0x80030102, "Attempted to use an object that has ceased to exist."},
    {0x80030103, "Can't save."},
    {0x80030104, "The compound file %1 was produced with an incompatible version of storage."},
    {0x80030105, "The compound file %1 was produced with a newer version of storage."},
    {0x80030106, "Share.exe or equivalent is required for operation."},
    {0x80030107, "Illegal operation called on non-file based storage."},
    {0x80030108, "Illegal operation called on object with extant marshallings."},
    {0x80030109, "The docfile has been corrupted."},
    {0x80030110, "OLE32.DLL has been loaded at the wrong address."},
    {0x80030111, "The compound file is too large for the current implementation."},
    {0x80030112, "The compound file was not created with the STGM_SIMPLE flag."},
    {0x80030201, "The file download was aborted abnormally. The file is incomplete."},
    {0x80030202, "The file download has been terminated."},
    {0x80030305, "Generic Copy Protection Error."},
    {0x80030306, "Copy Protection Error - DVD CSS Authentication failed."},
    {0x80030307, "Copy Protection Error - The given sector does not have a valid CSS key."},
    {0x80030308, "Copy Protection Error - DVD session key not established."},
    {0x80030309, "Copy Protection Error - The read failed because the sector is encrypted."},
    {0x8003030A, "Copy Protection Error - The current DVD's region does not correspond to the "
                 "region setting of the drive."},
    {0x8003030B, "Copy Protection Error - The drive's region setting may be permanent or the "
                 "number of user resets has been exhausted."},
    // Interface dependent: OLE, data, drag and drop, class, registry, monikers, COM
    {0x80040000, "Invalid OLEVERB structure."},
    {0x80040001, "Invalid advise flags."},
    {0x80040002, "Can't enumerate any more, because the associated data is missing."},
    {0x80040003, "This implementation doesn't take advises."},
    {0x80040004, "There is no connection for this connection ID."},
    {0x80040005, "Need to run the object to perform this operation."},
    {0x80040006, "There is no cache to operate on."},
    {0x80040007, "Uninitialized object."},
    {0x80040008, "Linked object's source class has changed."},
    {0x80040009, "Not able to get the moniker of the object."},
    {0x8004000A, "Not able to bind to the source."},
    {0x8004000B, "Object is static; operation not allowed."},
    {0x8004000C, "User canceled out of save dialog."},
    {0x8004000D, "Invalid rectangle."},
    {0x8004000E, "compobj.dll is too old for the ole2.dll initialized."},
    {0x8004000F, "Invalid window handle."},
    {0x80040010, "Object is not in any of the inplace active states."},
    {0x80040011, "Not able to convert object."},
    {0x80040012, "Not able to perform the operation because object is not given storage yet."},
    {0x80040064, "Invalid FORMATETC structure."},
    {0x80040065, "Invalid DVTARGETDEVICE structure."},
    {0x80040066, "Invalid STDGMEDIUM structure."},
    {0x80040067, "Invalid STATDATA structure."},
    {0x80040068, "Invalid lindex."},
    {0x80040069, "Invalid tymed."},
    {0x8004006A, "Invalid clipboard format."},
    {0x8004006B, "Invalid aspect(s)."},
    {0x8004006C, "tdSize parameter of the DVTARGETDEVICE structure is invalid."},
    {0x8004006D, "Object doesn't support IViewObject interface."},
    {0x80040100, "Trying to revoke a drop target that has not been registered."},
    {0x80040101, "This window has already been registered as a drop target."},
    {0x80040102, "Invalid window handle."},
    {0x80040110, "Class does not support aggregation (or class object is remote)."},
    {0x80040111, "ClassFactory cannot supply requested class."},
    {0x80040112, "Class is not licensed for use."},
    {0x80040140, "Error drawing view."},
    {0x80040150, "Could not read key from registry."},
    {0x80040151, "Could not write key to registry."},
    {0x80040152, "Could not find the key in the registry."},
    {0x80040153, "Invalid value for registry."},
    {0x80040154, "Class not registered."},
    {0x80040155, "Interface not registered."},
    {0x80040156, "Threading model entry is not valid."},
    {0x80040160, "CATID does not exist."},
    {0x80040161, "Description not found."},
    {0x80040164, "No package in the software installation data in the Active Directory meets "
                 "this criteria."},
    {0x80040165, "Deleting this will break the referential integrity of the software "
                 "installation data in the Active Directory."},
    {0x80040166, "The CLSID was not found in the software installation data in the Active "
                 "Directory."},
    {0x80040167, "The software installation data in the Active Directory is corrupt."},
    {0x80040168, "There is no software installation data in the Active Directory."},
    {0x80040169, "There is no software installation data object in the Active Directory."},
    {0x8004016A, "The software installation data object in the Active Directory already "
                 "exists."},
    {0x8004016B, "The path to the software installation data in the Active Directory is not "
                 "correct."},
    {0x8004016C, "A network error interrupted the operation."},
    {0x8004016D, "The size of this object exceeds the maximum size set by the Administrator."},
    {0x8004016E, "The schema for the software installation data in the Active Directory does "
                 "not match the required schema."},
    {0x8004016F, "An error occurred in the software installation data in the Active "
                 "Directory."},
    {0x80040170, "Cache not updated."},
    {0x80040180, "No verbs for OLE object."},
    {0x80040181, "Invalid verb for OLE object."},
    {0x800401A0, "Undo is not available."},
    {0x800401A1, "Space for tools is not available."},
    {0x800401C0, "OLESTREAM Get method failed."},
    {0x800401C1, "OLESTREAM Put method failed."},
    {0x800401C2, "Contents of the OLESTREAM not in correct format."},
    {0x800401C3, "There was an error in a Windows GDI call while converting the bitmap to a "
                 "DIB."},
    {0x800401C4, "Contents of the IStorage not in correct format."},
    {0x800401C5, "Contents of IStorage is missing one of the standard streams."},
    {0x800401C6, "There was an error in a Windows GDI call while converting the DIB to a "
                 "bitmap."},
    {0x800401D0, "OpenClipboard Failed."},
    {0x800401D1, "EmptyClipboard Failed."},
    {0x800401D2, "SetClipboard Failed."},
    {0x800401D3, "Data on clipboard is invalid."},
    {0x800401D4, "CloseClipboard Failed."},
    {0x800401E0, "Moniker needs to be connected manually."},
    {0x800401E1, "Operation exceeded deadline."},
    {0x800401E2, "Moniker needs to be generic."},
    {0x800401E3, "Operation unavailable."},
    {0x800401E4, "Invalid syntax."},
    {0x800401E5, "No object for moniker."},
    {0x800401E6, "Bad extension for file."},
    {0x800401E7, "Intermediate operation failed."},
    {0x800401E8, "Moniker is not bindable."},
    {0x800401E9, "Moniker is not bound."},
    {0x800401EA, "Moniker cannot open file."},
    {0x800401EB, "User input required for operation to succeed."},
    {0x800401EC, "Moniker class has no inverse."},
    {0x800401ED, "Moniker does not refer to storage."},
    {0x800401EE, "No common prefix."},
    {0x800401EF, "Moniker could not be enumerated."},
    {0x800401F0, "CoInitialize has not been called."},
    {0x800401F1, "CoInitialize has already been called."},
    {0x800401F2, "Class of object cannot be determined."},
    {0x800401F3, "Invalid class string."},
    {0x800401F4, "Invalid interface string."},
    {0x800401F5, "Application not found."},
    {0x800401F6, "Application cannot be run more than once."},
    {0x800401F7, "Some error in application program."},
    {0x800401F8, "DLL for class not found."},
    {0x800401F9, "Error in the DLL."},
    {0x800401FA, "Wrong operating system or operating system version for the application."},
    {0x800401FB, "Object is not registered."},
    {0x800401FC, "Object is already registered."},
    {0x800401FD, "Object is not connected to server."},
    {0x800401FE, "Application was launched but it didn't register a class factory."},
    {0x800401FF, "Object has been released."},
    {0x80040201, "An event was unable to invoke any of the subscribers."},
    {0x80040203, "A syntax error occurred trying to evaluate a query string."},
    {0x80040204, "An invalid field name was used in a query string."},
    {0x80040205, "An unexpected exception was raised."},
    {0x80040206, "An unexpected internal error was detected."},
    {0x80040207, "The owner SID on a per-user subscription doesn't exist."},
    {0x80040208, "A user-supplied component or subscriber raised an exception."},
    {0x80040209, "An interface has too many methods to fire events from."},
    {0x8004020A, "A subscription cannot be stored unless its event class already exists."},
    {0x8004020B, "Not all the objects requested could be removed."},
    {0x8004020C, "COM+ is required for this operation, but is not installed."},
    {0x8004020D, "Cannot modify or delete an object that was not added using the COM+ Admin "
                 "SDK."},
    {0x8004020E, "Cannot modify or delete an object that was added using the COM+ Admin SDK."},
    {0x8004020F, "The event class for this subscription is in an invalid partition."},
    {0x80040210, "The owner of the PerUser subscription is not logged on to the system "
                 "specified."},
    {0x80041309, "Trigger not found."},
    {0x8004130A, "One or more of the properties that are needed to run this task have not been "
                 "set."},
    {0x8004130B, "There is no running instance of the task."},
    {0x8004130C, "The Task Scheduler Service is not installed on this computer."},
    {0x8004130D, "The task object could not be opened."},
    {0x8004130E, "The object is either an invalid task object or is not a task object."},
    {0x8004130F, "No account information could be found in the Task Scheduler security "
                 "database for the task indicated."},
    {0x80041310, "Unable to establish existence of the account specified."},
    {0x80041311, "Corruption was detected in the Task Scheduler security database; the "
                 "database has been reset."},
    {0x80041312, "Task Scheduler security services are available only on Windows NT."},
    {0x80041313, "The task object version is either unsupported or invalid."},
    {0x80041314, "The task has been configured with an unsupported combination of account "
                 "settings and run time options."},
    {0x80041315, "The Task Scheduler Service is not running."},
    {0x8004D000, "Another single phase resource manager has already been enlisted in this "
                 "transaction."},
    {0x8004D001, "A retaining commit or abort is not supported."},
    {0x8004D002, "The transaction failed to commit for an unknown reason. The transaction was "
                 "aborted."},
    {0x8004D003, "Cannot call commit on this transaction object because the calling "
                 "application did not initiate the transaction."},
    {0x8004D004, "Instead of committing, the resource heuristically aborted."},
    {0x8004D005, "Instead of aborting, the resource heuristically committed."},
    {0x8004D006, "Some of the states of the resource were committed while others were aborted, "
                 "likely because of heuristic decisions."},
    {0x8004D007, "Some of the states of the resource may have been committed while others may "
                 "have been aborted, likely because of heuristic decisions."},
    {0x8004D008, "The requested isolation level is not valid or supported."},
    {0x8004D009, "The transaction manager doesn't support an asynchronous operation for this "
                 "method."},
    {0x8004D00A, "Unable to enlist in the transaction."},
    {0x8004D00B, "The requested semantics of retention of isolation across retaining commit "
                 "and abort boundaries cannot be supported by this transaction implementation, "
                 "or isoFlags was not equal to zero."},
    {0x8004D00C, "There is no resource presently associated with this enlistment."},
    {0x8004D00D, "The transaction failed to commit due to the failure of optimistic concurrency "
                 "control in at least one of the resource managers."},
    {0x8004D00E, "The transaction has already been implicitly or explicitly committed or "
                 "aborted."},
    {0x8004D00F, "An invalid combination of flags was specified."},
    {0x8004D010, "The resource manager id is not associated with this transaction or the "
                 "transaction manager."},
    {0x8004D011, "This method was called in the wrong state."},
    {0x8004D012, "The indicated unit of work does not match the unit of work expected by the "
                 "resource manager."},
    {0x8004D013, "An enlistment in a transaction already exists."},
    {0x8004D014, "An import object for the transaction could not be found."},
    {0x8004D015, "The transaction cookie is invalid."},
    {0x8004D016, "The transaction status is in doubt. A communication failure occurred, or a "
                 "transaction manager or resource manager has failed."},
    {0x8004D017, "A time-out was specified, but time-outs are not supported."},
    {0x8004D018, "The requested operation is already in progress for the transaction."},
    {0x8004D019, "The transaction has already been aborted."},
    {0x8004D01A, "The Transaction Manager returned a log full error."},
    {0x8004D01B, "The Transaction Manager is not available."},
    {0x8004D01C, "A connection with the transaction manager was lost."},
    {0x8004D01D, "A request to establish a connection with the transaction manager was "
                 "denied."},
    {0x8004D01E, "Resource manager reenlistment to determine transaction status timed out."},
    {0x8004D01F, "This transaction manager failed to establish a connection with another TIP "
                 "transaction manager."},
    {0x8004D020, "This transaction manager encountered a protocol error with another TIP "
                 "transaction manager."},
    {0x8004D021, "This transaction manager could not propagate a transaction from another TIP "
                 "transaction manager."},
    {0x8004D022, "The Transaction Manager on the destination machine is not available."},
    {0x8004D023, "The Transaction Manager has disabled its support for TIP."},
    {0x8004D024, "The transaction manager has disabled its support for remote/network "
                 "transactions."},
    {0x8004D025, "The partner transaction manager has disabled its support for remote/network "
                 "transactions."},
    {0x8004D026, "The transaction manager has disabled its support for XA transactions."},
    {0x8004D027, "MSDTC was unable to read its configuration information."},
    {0x8004D028, "MSDTC was unable to load the dtc proxy dll."},
    {0x8004D029, "The local transaction has aborted."},
    {0x8004D080, "XACT_E_CLERKNOTFOUND"},
    {0x8004D081, "XACT_E_CLERKEXISTS"},
    {0x8004D082, "XACT_E_RECOVERYINPROGRESS"},
    {0x8004D083, "XACT_E_TRANSACTIONCLOSED"},
    {0x8004D084, "XACT_E_INVALIDLSN"},
    {0x8004D085, "XACT_E_REPLAYREQUEST"},
    {0x8004E002, "The root transaction wanted to commit, but transaction aborted."},
    {0x8004E003, "You made a method call on a COM+ component that has a transaction that has "
                 "already aborted or in the process of aborting."},
    {0x8004E004, "There is no MTS object context."},
    {0x8004E005, "The component is configured to use synchronization and this method call "
                 "would cause a deadlock to occur."},
    {0x8004E006, "The component is configured to use synchronization and a thread has timed "
                 "out waiting to enter the context."},
    {0x8004E007, "You made a method call on a COM+ component that has a transaction that has "
                 "already committed or aborted."},
    {0x8004E00C, "The specified role was not configured for the application."},
    {0x8004E00F, "COM+ was unable to talk to the Microsoft Distributed Transaction "
                 "Coordinator."},
    {0x8004E021, "An unexpected error occurred during COM+ Activation."},
    {0x8004E022, "COM+ Activation failed. Check the event log for more information."},
    {0x8004E023, "COM+ Activation failed due to a catalog or configuration error."},
    {0x8004E024, "COM+ activation failed because the activation could not be completed in the "
                 "specified amount of time."},
    {0x8004E025, "COM+ Activation failed because an initialization function failed. Check the "
                 "event log for more information."},
    {0x8004E026, "The requested operation requires that JIT be in the current context and it "
                 "is not."},
    {0x8004E027, "The requested operation requires that the current context have a "
                 "Transaction, and it does not."},
    {0x8004E028, "The components threading model has changed after install into a COM+ "
                 "Application. Please re-install component."},
    {0x8004E029, "IIS intrinsics not available. Start your work with IIS."},
    {0x8004E02A, "An attempt to write a cookie failed."},
    {0x8004E02B, "An attempt to use a database generated a database specific error."},
    {0x8004E02C, "The COM+ component you created must use object pooling to work."},
    {0x8004E02D, "The COM+ component you created must use object construction to work "
                 "correctly."},
    {0x8004E02E, "The COM+ component requires synchronization, and it is not configured for "
                 "it."},
    {0x8004E02F, "The TxIsolation Level property for the COM+ component being created is "
                 "stronger than the TxIsolationLevel for the \"root\" component for the "
                 "transaction. The creation failed."},
    // Win32: the HRESULTs that have names of their own
    {0x80070005, "General access denied error."},
    {0x80070006, "Invalid handle."},
    {0x8007000E, "Ran out of memory."},
    {0x80070057, "One or more arguments are invalid."},
    // Windows
    {0x80080001, "Attempt to create a class object failed."},
    {0x80080002, "OLE service could not bind object."},
    {0x80080003, "RPC communication failed with OLE service."},
    {0x80080004, "Bad path to object."},
    {0x80080005, "Server execution failed."},
    {0x80080006, "OLE service could not communicate with the object server."},
    {0x80080007, "Moniker path could not be normalized."},
    {0x80080008, "Object server is stopping when OLE service contacts it."},
    {0x80080009, "An invalid root block pointer was specified."},
    {0x80080010, "An allocation chain contained an invalid link pointer."},
    {0x80080011, "The requested allocation size was too large."},
    // Security: cryptographic service providers
    {0x80090001, "Bad UID."},
    {0x80090002, "Bad Hash."},
    {0x80090003, "Bad Key."},
    {0x80090004, "Bad Length."},
    {0x80090005, "Bad Data."},
    {0x80090006, "Invalid Signature."},
    {0x80090007, "Bad Version of provider."},
    {0x80090008, "Invalid algorithm specified."},
    {0x80090009, "Invalid flags specified."},
    {0x8009000A, "Invalid type specified."},
    {0x8009000B, "Key not valid for use in specified state."},
    {0x8009000C, "Hash not valid for use in specified state."},
    {0x8009000D, "Key does not exist."},
    {0x8009000E, "Insufficient memory available for the operation."},
    {0x8009000F, "Object already exists."},
    {0x80090010, "Access denied."},
    {0x80090011, "Object was not found."},
    {0x80090012, "Data already encrypted."},
    {0x80090013, "Invalid provider specified."},
    {0x80090014, "Invalid provider type specified."},
    {0x80090015, "Provider's public key is invalid."},
    {0x80090016, "Keyset does not exist."},
    {0x80090017, "Provider type not defined."},
    {0x80090018, "Provider type as registered is invalid."},
    {0x80090019, "The keyset is not defined."},
    {0x8009001A, "Keyset as registered is invalid."},
    {0x8009001B, "Provider type does not match registered value."},
    {0x8009001C, "The digital signature file is corrupt."},
    {0x8009001D, "Provider DLL failed to initialize correctly."},
    {0x8009001E, "Provider DLL could not be found."},
    {0x8009001F, "The Keyset parameter is invalid."},
    {0x80090020, "An internal error occurred."},
    {0x80090021, "A base error occurred."},
    {0x80090022, "Provider could not perform the action since the context was acquired as "
                 "silent."},
    {0x80090023, "The security token does not have storage space available for an additional "
                 "container."},
    {0x80090024, "The profile for the user is a temporary profile."},
    {0x80090025, "The key parameters could not be set because the CSP uses fixed parameters."},
    // Security: SSPI
    {0x80090300, "Not enough memory is available to complete this request."},
    {0x80090301, "The handle specified is invalid."},
    {0x80090302, "The function requested is not supported."},
    {0x80090303, "The specified target is unknown or unreachable."},
    {0x80090304, "The Local Security Authority cannot be contacted."},
    {0x80090305, "The requested security package does not exist."},
    {0x80090306, "The caller is not the owner of the desired credentials."},
    {0x80090307, "The security package failed to initialize, and cannot be installed."},
    {0x80090308, "The token supplied to the function is invalid."},
    {0x80090309, "The security package is not able to marshall the logon buffer, so the logon "
                 "attempt has failed."},
    {0x8009030A, "The per-message Quality of Protection is not supported by the security "
                 "package."},
    {0x8009030B, "The security context does not allow impersonation of the client."},
    {0x8009030C, "The logon attempt failed."},
    {0x8009030D, "The credentials supplied to the package were not recognized."},
    {0x8009030E, "No credentials are available in the security package."},
    {0x8009030F, "The message or signature supplied for verification has been altered."},
    {0x80090310, "The message supplied for verification is out of sequence."},
    {0x80090311, "No authority could be contacted for authentication."},
    {0x80090316, "The requested security package does not exist."},
    {0x80090317, "The context has expired and can no longer be used."},
    {0x80090318, "The supplied message is incomplete. The signature was not verified."},
    {0x80090320, "The credentials supplied were not complete, and could not be verified. The "
                 "context could not be initialized."},
    {0x80090321, "The buffers supplied to a function was too small."},
    {0x80090322, "The target principal name is incorrect."},
    {0x80090324, "The clocks on the client and server machines are skewed."},
    {0x80090325, "The certificate chain was issued by an authority that is not trusted."},
    {0x80090326, "The message received was unexpected or badly formatted."},
    {0x80090327, "An unknown error occurred while processing the certificate."},
    {0x80090328, "The received certificate has expired."},
    {0x80090329, "The specified data could not be encrypted."},
    {0x80090330, "The specified data could not be decrypted."},
    {0x80090331, "The client and server cannot communicate, because they do not possess a "
                 "common algorithm."},
    {0x80090332, "The security context could not be established due to a failure in the "
                 "requested quality of service (e.g. mutual authentication or delegation)."},
    {0x80090333, "A security context was deleted before the context was completed. This is "
                 "considered a logon failure."},
    {0x80090334, "The client is trying to negotiate a context and the server requires "
                 "user-to-user but didn't send a TGT reply."},
    {0x80090335, "Unable to accomplish the requested task because the local machine does not "
                 "have any IP addresses."},
    {0x80090336, "The supplied credential handle does not match the credential associated with "
                 "the security context."},
    {0x80090337, "The crypto system or checksum function is invalid because a required "
                 "function is unavailable."},
    {0x80090338, "The number of maximum ticket referrals has been exceeded."},
    {0x80090339, "The local machine must be a Kerberos KDC (domain controller) and it is not."},
    {0x8009033A, "The other end of the security negotiation is requires strong crypto but it is "
                 "not supported on the local machine."},
    {0x8009033B, "The KDC reply contained more than one principal name."},
    {0x8009033C, "Expected to find PA data for a hint of what etype to use, but it was not "
                 "found."},
    {0x8009033D, "The client certificate does not contain a valid UPN, or does not match the "
                 "client name in the logon request. Please contact your administrator."},
    {0x8009033E, "Smartcard logon is required and was not used."},
    {0x8009033F, "A system shutdown is in progress."},
    {0x80090340, "An invalid request was sent to the KDC."},
    {0x80090341, "The KDC was unable to generate a referral for the service requested."},
    {0x80090342, "The encryption type requested is not supported by the KDC."},
    {0x80090343, "An unsupported preauthentication mechanism was presented to the Kerberos "
                 "package."},
    {0x80090345, "The requested operation cannot be completed. The computer must be trusted for "
                 "delegation and the current user account must be configured to allow "
                 "delegation."},
    {0x80090346, "Client's supplied SSPI channel bindings were incorrect."},
    {0x80090347, "The received certificate was mapped to multiple accounts."},
    {0x80090348, "SEC_E_NO_KERB_KEY"},
    {0x80090349, "The certificate is not valid for the requested usage."},
    {0x80090350, "The system detected a possible attempt to compromise security. Please ensure "
                 "that you can contact the server that authenticated you."},
    {0x80090351, "The smartcard certificate used for authentication has been revoked. Please "
                 "contact your system administrator. There may be additional information in the "
                 "event log."},
    {0x80090352, "An untrusted certificate authority was detected While processing the "
                 "smartcard certificate used for authentication. Please contact your system "
                 "administrator."},
    {0x80090353, "The revocation status of the smartcard certificate used for authentication "
                 "could not be determined. Please contact your system administrator."},
    {0x80090354, "The smartcard certificate used for authentication was not trusted. Please "
                 "contact your system administrator."},
    {0x80090355, "The smartcard certificate used for authentication has expired. Please "
                 "contact your system administrator."},
    // Security: cryptographic messages and certificate stores
    {0x80091001, "An error occurred while performing an operation on a cryptographic message."},
    {0x80091002, "Unknown cryptographic algorithm."},
    {0x80091003, "The object identifier is poorly formatted."},
    {0x80091004, "Invalid cryptographic message type."},
    {0x80091005, "Unexpected cryptographic message encoding."},
    {0x80091006, "The cryptographic message does not contain an expected authenticated "
                 "attribute."},
    {0x80091007, "The hash value is not correct."},
    {0x80091008, "The index value is not valid."},
    {0x80091009, "The content of the cryptographic message has already been decrypted."},
    {0x8009100A, "The content of the cryptographic message has not been decrypted yet."},
    {0x8009100B, "The enveloped-data message does not contain the specified recipient."},
    {0x8009100C, "Invalid control type."},
    {0x8009100D, "Invalid issuer and/or serial number."},
    {0x8009100E, "Cannot find the original signer."},
    {0x8009100F, "The cryptographic message does not contain all of the requested attributes."},
    {0x80091010, "The streamed cryptographic message is not ready to return data."},
    {0x80091011, "The streamed cryptographic message requires more data to complete the decode "
                 "operation."},
    {0x80092001, "The length specified for the output data was insufficient."},
    {0x80092002, "An error occurred during encode or decode operation."},
    {0x80092003, "An error occurred while reading or writing to a file."},
    {0x80092004, "Cannot find object or property."},
    {0x80092005, "The object or property already exists."},
    {0x80092006, "No provider was specified for the store or object."},
    {0x80092007, "The specified certificate is self signed."},
    {0x80092008, "The previous certificate or CRL context was deleted."},
    {0x80092009, "Cannot find the requested object."},
    {0x8009200A, "The type of the cryptographic message being decoded is different than what "
                 "was expected."},
    {0x8009200B, "The certificate does not have a property that references a private key."},
    {0x8009200C, "Cannot find the certificate and private key to use for decryption."},
    {0x8009200D, "Not a cryptographic message or the cryptographic message is not formatted "
                 "correctly."},
    {0x8009200E, "The signed cryptographic message does not have a signer for the specified "
                 "signer index."},
    {0x8009200F, "Final closure is pending until additional frees or closes."},
    {0x80092010, "The certificate is revoked."},
    {0x80092011, "No Dll or exported function was found to verify revocation."},
    {0x80092012, "The revocation function was unable to check revocation for the "
                 "certificate."},
    {0x80092013, "The revocation function was unable to check revocation because the "
                 "revocation server was offline."},
    {0x80092014, "The certificate is not in the revocation server's database."},
    {0x80092020, "The string contains a non-numeric character."},
    {0x80092021, "The string contains a non-printable character."},
    {0x80092022, "The string contains a character not in the 7 bit ASCII character set."},
    {0x80092023, "The string contains an invalid X500 name attribute key, oid, value or "
                 "delimiter."},
    {0x80092024, "The dwValueType for the CERT_NAME_VALUE is not one of the character strings. "
                 "Most likely it is either a CERT_RDN_ENCODED_BLOB or CERT_TDN_OCTED_STRING."},
    {0x80092025, "The Put operation can not continue. The file needs to be resized. However, "
                 "there is already a signature present. A complete signing operation must be "
                 "done."},
    {0x80092026, "The cryptographic operation failed due to a local security option setting."},
    {0x80092027, "No DLL or exported function was found to verify subject usage."},
    {0x80092028, "The called function was unable to do a usage check on the subject."},
    {0x80092029, "Since the server was offline, the called function was unable to complete the "
                 "usage check."},
    {0x8009202A, "The subject was not found in a Certificate Trust List (CTL)."},
    {0x8009202B, "None of the signers of the cryptographic message or certificate trust list is "
                 "trusted."},
    {0x8009202C, "The public key's algorithm parameters are missing."},
    {0x80093100, "ASN1 Certificate encode/decode error code base."},
    {0x80093101, "ASN1 internal encode or decode error."},
    {0x80093102, "ASN1 unexpected end of data."},
    {0x80093103, "ASN1 corrupted data."},
    {0x80093104, "ASN1 value too large."},
    {0x80093105, "ASN1 constraint violated."},
    {0x80093106, "ASN1 out of memory."},
    {0x80093107, "ASN1 buffer overflow."},
    {0x80093108, "ASN1 function not supported for this PDU."},
    {0x80093109, "ASN1 bad arguments to function call."},
    {0x8009310A, "ASN1 bad real value."},
    {0x8009310B, "ASN1 bad tag value met."},
    {0x8009310C, "ASN1 bad choice value."},
    {0x8009310D, "ASN1 bad encoding rule."},
    {0x8009310E, "ASN1 bad unicode (UTF8)."},
    {0x80093133, "ASN1 bad PDU type."},
    {0x80093134, "ASN1 not yet implemented."},
    {0x80093201, "ASN1 skipped unknown extension(s)."},
    {0x80093202, "ASN1 end of data expected."},
    {0x80096001, "A system-level error occurred while verifying trust."},
    {0x80096002, "The certificate for the signer of the message is invalid or not found."},
    {0x80096003, "One of the counter signatures was invalid."},
    {0x80096004, "The signature of the certificate cannot be verified."},
    {0x80096005, "The timestamp signature and/or certificate could not be verified or is "
                 "malformed."},
    {0x80096010, "The digital signature of the object did not verify."},
    {0x80096019, "A certificate's basic constraint extension has not been observed."},
    {0x8009601E, "The certificate does not meet or contain the Authenticode(tm) financial "
                 "extensions."},
    // Certificate trust
    {0x800B0001, "Unknown trust provider."},
    {0x800B0002, "The trust verification action specified is not supported by the specified "
                 "trust provider."},
    {0x800B0003, "The form specified for the subject is not one supported or known by the "
                 "specified trust provider."},
    {0x800B0004, "The subject is not trusted for the specified action."},
    {0x800B0005, "Error due to problem in ASN.1 encoding process."},
    {0x800B0006, "Error due to problem in ASN.1 decoding process."},
    {0x800B0007, "Reading / writing Extensions where Attributes are appropriate, and visa "
                 "versa."},
    {0x800B0008, "Unspecified cryptographic failure."},
    {0x800B0009, "The size of the data could not be determined."},
    {0x800B000A, "The size of the indefinite-sized data could not be determined."},
    {0x800B000B, "This object does not read and write self-sizing data."},
    {0x800B0100, "No signature was present in the subject."},
    {0x800B0101, "A required certificate is not within its validity period when verifying "
                 "against the current system clock or the timestamp in the signed file."},
    {0x800B0102, "The validity periods of the certification chain do not nest correctly."},
    {0x800B0103, "A certificate that can only be used as an end-entity is being used as a CA or "
                 "visa versa."},
    {0x800B0104, "A path length constraint in the certification chain has been violated."},
    {0x800B0105, "A certificate contains an unknown extension that is marked 'critical'."},
    {0x800B0106, "A certificate being used for a purpose other than the ones specified by its "
                 "CA."},
    {0x800B0107, "A parent of a given certificate in fact did not issue that child "
                 "certificate."},
    {0x800B0108, "A certificate is missing or has an empty value for an important field, such "
                 "as a subject or issuer name."},
    {0x800B0109, "A certificate chain processed, but terminated in a root certificate which is "
                 "not trusted by the trust provider."},
    {0x800B010A, "A certificate chain could not be built to a trusted root authority."},
    {0x800B010B, "Generic trust failure."},
    {0x800B010C, "A certificate was explicitly revoked by its issuer."},
    {0x800B010D, "The certification path terminates with the test root which is not trusted "
                 "with the current policy settings."},
    {0x800B010E, "The revocation process could not continue - the certificate(s) could not be "
                 "checked."},
    {0x800B010F, "The certificate's CN name does not match the passed value."},
    {0x800B0110, "The certificate is not valid for the requested usage."},
    {0x800B0111, "The certificate was explicitly marked as untrusted by the user."},
    {0x800B0112, "A certification chain processed correctly, but one of the CA certificates is "
                 "not trusted by the policy provider."},
    {0x800B0113, "The certificate has invalid policy."},
    {0x800B0114, "The certificate has an invalid name. The name is not included in the "
                 "permitted list or is explicitly excluded."},
    // SetupAPI
    {0x800F0000, "A non-empty line was encountered in the INF before the start of a section."},
    {0x800F0001, "A section name marker in the INF is not complete, or does not exist on a line "
                 "by itself."},
    {0x800F0002, "An INF section was encountered whose name exceeds the maximum section name "
                 "length."},
    {0x800F0003, "The syntax of the INF is invalid."},
    {0x800F0100, "The style of the INF is different than what was requested."},
    {0x800F0101, "The required section was not found in the INF."},
    {0x800F0102, "The required line was not found in the INF."},
    {0x800F0103, "The files affected by the installation of this file queue have not been "
                 "backed up for uninstall."},
    {0x800F0200, "The INF or the device information set or element does not have an associated "
                 "install class."},
    {0x800F0201, "The INF or the device information set or element does not match the specified "
                 "install class."},
    {0x800F0202, "An existing device was found that is a duplicate of the device being manually "
                 "installed."},
    {0x800F0203, "There is no driver selected for the device information set or element."},
    {0x800F0204, "The requested device registry key does not exist."},
    {0x800F0205, "The device instance name is invalid."},
    {0x800F0206, "The install class is not present or is invalid."},
    {0x800F0207, "The device instance cannot be created because it already exists."},
    {0x800F0208, "The operation cannot be performed on a device information element that has "
                 "not been registered."},
    {0x800F0209, "The device property code is invalid."},
    {0x800F020A, "The INF from which a driver list is to be built does not exist."},
    {0x800F020B, "The device instance does not exist in the hardware tree."},
    {0x800F020C, "The icon representing this install class cannot be loaded."},
    {0x800F020D, "The class installer registry entry is invalid."},
    {0x800F020E, "The class installer has indicated that the default action should be "
                 "performed for this installation request."},
    {0x800F020F, "The operation does not require any files to be copied."},
    {0x800F0210, "The specified hardware profile does not exist."},
    {0x800F0211, "There is no device information element currently selected for this device "
                 "information set."},
    {0x800F0212, "The operation cannot be performed because the device information set is "
                 "locked."},
    {0x800F0213, "The operation cannot be performed because the device information element is "
                 "locked."},
    {0x800F0214, "The specified path does not contain any applicable device INFs."},
    {0x800F0215, "No class installer parameters have been set for the device information set or "
                 "element."},
    {0x800F0216, "The operation cannot be performed because the file queue is locked."},
    {0x800F0217, "A service installation section in this INF is invalid."},
    {0x800F0218, "There is no class driver list for the device information element."},
    {0x800F0219, "The installation failed because a function driver was not specified for this "
                 "device instance."},
    {0x800F021A, "There is presently no default device interface designated for this interface "
                 "class."},
    {0x800F021B, "The operation cannot be performed because the device interface is currently "
                 "active."},
    {0x800F021C, "The operation cannot be performed because the device interface has been "
                 "removed from the system."},
    {0x800F021D, "An interface installation section in this INF is invalid."},
    {0x800F021E, "This interface class does not exist in the system."},
    {0x800F021F, "The reference string supplied for this interface device is invalid."},
    {0x800F0220, "The specified machine name does not conform to UNC naming conventions."},
    {0x800F0221, "A general remote communication error occurred."},
    {0x800F0222, "The machine selected for remote communication is not available at this "
                 "time."},
    {0x800F0223, "The Plug and Play service is not available on the remote machine."},
    {0x800F0224, "The property page provider registry entry is invalid."},
    {0x800F0225, "The requested device interface is not present in the system."},
    {0x800F0226, "The device's co-installer has additional work to perform after installation "
                 "is complete."},
    {0x800F0227, "The device's co-installer is invalid."},
    {0x800F0228, "There are no compatible drivers for this device."},
    {0x800F0229, "There is no icon that represents this device or device type."},
    {0x800F022A, "A logical configuration specified in this INF is invalid."},
    {0x800F022B, "The class installer has denied the request to install or upgrade this "
                 "device."},
    {0x800F022C, "One of the filter drivers installed for this device is invalid."},
    {0x800F022D, "The driver selected for this device does not support this version of "
                 "Windows."},
    {0x800F022E, "The driver selected for this device does not support Windows."},
    {0x800F022F, "The third-party INF does not contain digital signature information."},
    {0x800F0230, "An invalid attempt was made to use a device installation file queue for "
                 "verification of digital signatures relative to other platforms."},
    {0x800F0231, "The device cannot be disabled."},
    {0x800F0232, "The device could not be dynamically removed."},
    {0x800F0233, "Cannot copy to specified target."},
    {0x800F0234, "Driver is not intended for this platform."},
    {0x800F0235, "Operation not allowed in WOW64."},
    {0x800F0236, "The operation involving unsigned file copying was rolled back, so that a "
                 "system restore point could be set."},
    {0x800F0237, "An INF was copied into the Windows INF directory in an improper manner."},
    {0x800F0238, "The Security Configuration Editor (SCE) APIs have been disabled on this "
                 "Embedded product."},
    {0x800F0239, "An unknown exception was encountered."},
    {0x800F023A, "A problem was encountered when accessing the Plug and Play registry "
                 "database."},
    {0x800F023B, "The requested operation is not supported for a remote machine."},
    {0x800F023C, "The specified file is not an installed OEM INF."},
    {0x800F023D, "One or more devices are presently installed using the specified INF."},
    {0x800F023E, "The requested device install operation is obsolete."},
    {0x800F023F, "A file could not be verified because it does not have an associated catalog "
                 "signed via Authenticode(tm)."},
    {0x800F0240, "Authenticode(tm) signature verification is not supported for the specified "
                 "INF."},
    {0x800F0241, "The INF was signed with an Authenticode(tm) catalog from a trusted "
                 "publisher."},
    {0x800F0242, "The publisher of an Authenticode(tm) signed catalog has not yet been "
                 "established as trusted."},
    {0x800F0243, "The publisher of an Authenticode(tm) signed catalog was not established as "
                 "trusted."},
    {0x800F0244, "The software was tested for compliance with Windows Logo requirements on a "
                 "different version of Windows, and may not be compatible with this version."},
    {0x800F0245, "The file may only be validated by a catalog signed via Authenticode(tm)."},
    {0x800F0300, "An unrecoverable stack overflow was encountered."},
    {0x800F1000, "No installed components were detected."},
    // Smart card
    {0x80100001, "An internal consistency check failed."},
    {0x80100002, "The action was cancelled by an SCardCancel request."},
    {0x80100003, "The supplied handle was invalid."},
    {0x80100004, "One or more of the supplied parameters could not be properly interpreted."},
    {0x80100005, "Registry startup information is missing or invalid."},
    {0x80100006, "Not enough memory available to complete this command."},
    {0x80100007, "An internal consistency timer has expired."},
    {0x80100008, "The data buffer to receive returned data is too small for the returned "
                 "data."},
    {0x80100009, "The specified reader name is not recognized."},
    {0x8010000A, "The user-specified timeout value has expired."},
    {0x8010000B, "The smart card cannot be accessed because of other connections "
                 "outstanding."},
    {0x8010000C, "The operation requires a Smart Card, but no Smart Card is currently in the "
                 "device."},
    {0x8010000D, "The specified smart card name is not recognized."},
    {0x8010000E, "The system could not dispose of the media in the requested manner."},
    {0x8010000F, "The requested protocols are incompatible with the protocol currently in use "
                 "with the smart card."},
    {0x80100010, "The reader or smart card is not ready to accept commands."},
    {0x80100011, "One or more of the supplied parameters values could not be properly "
                 "interpreted."},
    {0x80100012, "The action was cancelled by the system, presumably to log off or shut "
                 "down."},
    {0x80100013, "An internal communications error has been detected."},
    {0x80100014, "An internal error has been detected, but the source is unknown."},
    {0x80100015, "An ATR obtained from the registry is not a valid ATR string."},
    {0x80100016, "An attempt was made to end a non-existent transaction."},
    {0x80100017, "The specified reader is not currently available for use."},
    {0x80100018, "The operation has been aborted to allow the server application to exit."},
    {0x80100019, "The PCI Receive buffer was too small."},
    {0x8010001A, "The reader driver does not meet minimal requirements for support."},
    {0x8010001B, "The reader driver did not produce a unique reader name."},
    {0x8010001C, "The smart card does not meet minimal requirements for support."},
    {0x8010001D, "The Smart card resource manager is not running."},
    {0x8010001E, "The Smart card resource manager has shut down."},
    {0x8010001F, "An unexpected card error has occurred."},
    {0x80100020, "No Primary Provider can be found for the smart card."},
    {0x80100021, "The requested order of object creation is not supported."},
    {0x80100022, "This smart card does not support the requested feature."},
    {0x80100023, "The identified directory does not exist in the smart card."},
    {0x80100024, "The identified file does not exist in the smart card."},
    {0x80100025, "The supplied path does not represent a smart card directory."},
    {0x80100026, "The supplied path does not represent a smart card file."},
    {0x80100027, "Access is denied to this file."},
    {0x80100028, "The smartcard does not have enough memory to store the information."},
    {0x80100029, "There was an error trying to set the smart card file object pointer."},
    {0x8010002A, "The supplied PIN is incorrect."},
    {0x8010002B, "An unrecognized error code was returned from a layered component."},
    {0x8010002C, "The requested certificate does not exist."},
    {0x8010002D, "The requested certificate could not be obtained."},
    {0x8010002E, "Cannot find a smart card reader."},
    {0x8010002F, "A communications error with the smart card has been detected. Retry the "
                 "operation."},
    {0x80100030, "The requested key container does not exist on the smart card."},
    {0x80100031, "The Smart card resource manager is too busy to complete this operation."},
    {0x80100065, "The reader cannot communicate with the smart card, due to ATR configuration "
                 "conflicts."},
    {0x80100066, "The smart card is not responding to a reset."},
    {0x80100067, "Power has been removed from the smart card, so that further communication is "
                 "not possible."},
    {0x80100068, "The smart card has been reset, so any shared state information is invalid."},
    {0x80100069, "The smart card has been removed, so that further communication is not "
                 "possible."},
    {0x8010006A, "Access was denied because of a security violation."},
    {0x8010006B, "The card cannot be accessed because the wrong PIN was presented."},
    {0x8010006C, "The card cannot be accessed because the maximum number of PIN entry attempts "
                 "has been reached."},
    {0x8010006D, "The end of the smart card file has been reached."},
    {0x8010006E, "The action was cancelled by the user."},
    {0x8010006F, "No PIN was presented to the smart card."},
    // COM+
    {0x80110401, "Errors occurred accessing one or more objects - the ErrorInfo collection may "
                 "have more detail."},
    {0x80110402, "One or more of the object's properties are missing or invalid."},
    {0x80110403, "The object was not found in the catalog."},
    {0x80110404, "The object is already registered."},
    {0x80110407, "Error occurred writing to the application file."},
    {0x80110408, "Error occurred reading the application file."},
    {0x80110409, "Invalid version number in application file."},
    {0x8011040A, "The file path is invalid."},
    {0x8011040B, "The application is already installed."},
    {0x8011040C, "The role already exists."},
    {0x8011040D, "An error occurred copying the file."},
    {0x8011040F, "One or more users are not valid."},
    {0x80110410, "One or more users in the application file are not valid."},
    {0x80110411, "The component's CLSID is missing or corrupt."},
    {0x80110412, "The component's progID is missing or corrupt."},
    {0x80110413, "Unable to set required authentication level for update request."},
    {0x80110414, "The identity or password set on the application is not valid."},
    {0x80110418, "Application file CLSIDs or IIDs do not match corresponding DLLs."},
    {0x80110419, "Interface information is either missing or changed."},
    {0x8011041A, "DllRegisterServer failed on component install."},
    {0x8011041B, "No server file share available."},
    {0x8011041D, "DLL could not be loaded."},
    {0x8011041E, "The registered TypeLib ID is not valid."},
    {0x8011041F, "Application install directory not found."},
    {0x80110423, "Errors occurred while in the component registrar."},
    {0x80110424, "The file does not exist."},
    {0x80110425, "The DLL could not be loaded."},
    {0x80110426, "GetClassObject failed in the DLL."},
    {0x80110427, "The DLL does not support the components listed in the TypeLib."},
    {0x80110428, "The TypeLib could not be loaded."},
    {0x80110429, "The file does not contain components or component information."},
    {0x8011042A, "Changes to this object and its sub-objects have been disabled."},
    {0x8011042B, "The delete function has been disabled for this object."},
    {0x8011042C, "The server catalog version is not supported."},
    {0x8011042D, "The component move was disallowed, because the source or destination "
                 "application is either a system application or currently locked against "
                 "changes."},
    {0x8011042E, "The component move failed because the destination application no longer "
                 "exists."},
    {0x80110430, "The system was unable to register the TypeLib."},
    {0x80110433, "This operation cannot be performed on the system application."},
    {0x80110434, "The component registrar referenced in this file is not available."},
    {0x80110435, "A component in the same DLL is already installed."},
    {0x80110436, "The service is not installed."},
    {0x80110437, "One or more property settings are either invalid or in conflict with each "
                 "other."},
    {0x80110438, "The object you are attempting to add or rename already exists."},
    {0x80110439, "The component already exists."},
    {0x8011043B, "The registration file is corrupt."},
    {0x8011043C, "The property value is too large."},
    {0x8011043E, "Object was not found in registry."},
    {0x8011043F, "This object is not poolable."},
    {0x80110446, "A CLSID with the same GUID as the new application ID is already installed on "
                 "this machine."},
    {0x80110447, "A role assigned to a component, interface, or method did not exist in the "
                 "application."},
    {0x80110448, "You must have components in an application in order to start the "
                 "application."},
    {0x80110449, "This operation is not enabled on this platform."},
    {0x8011044A, "Application Proxy is not exportable."},
    {0x8011044B, "Failed to start application because it is either a library application or an "
                 "application proxy."},
    {0x8011044C, "System application is not exportable."},
    {0x8011044D, "Cannot subscribe to this component (the component may have been imported)."},
    {0x8011044E, "An event class cannot also be a subscriber component."},
    {0x8011044F, "Library applications and application proxies are incompatible."},
    {0x80110450, "This function is valid for the base partition only."},
    {0x80110451, "You cannot start an application that has been disabled."},
    {0x80110457, "The specified partition name is already in use on this computer."},
    {0x80110458, "The specified partition name is invalid. Check that the name contains at "
                 "least one visible character."},
    {0x80110459, "The partition cannot be deleted because it is the default partition for one "
                 "or more users."},
    {0x8011045A, "The partition cannot be exported, because one or more components in the "
                 "partition have the same file name."},
    {0x8011045B, "Applications that contain one or more imported components cannot be installed "
                 "into a non-base partition."},
    {0x8011045C, "The application name is not unique and cannot be resolved to an application "
                 "id."},
    {0x8011045D, "The partition name is not unique and cannot be resolved to a partition id."},
    {0x80110472, "The COM+ registry database has not been initialized."},
    {0x80110473, "The COM+ registry database is not open."},
    {0x80110474, "The COM+ registry database detected a system error."},
    {0x80110475, "The COM+ registry database is already running."},
    {0x80110480, "This version of the COM+ registry database cannot be migrated."},
    {0x80110481, "The schema version to be migrated could not be found in the COM+ registry "
                 "database."},
    {0x80110482, "There was a type mismatch between binaries."},
    {0x80110483, "A binary of unknown or invalid type was provided."},
    {0x80110484, "There was a type mismatch between a binary and an application."},
    {0x80110485, "The application cannot be paused or resumed."},
    {0x80110486, "The COM+ Catalog Server threw an exception during execution."},
    {0x80110600, "Only COM+ Applications marked \"queued\" can be invoked using the \"queue\" "
                 "moniker."},
    {0x80110601, "At least one interface must be marked \"queued\" in order to create a queued "
                 "component instance with the \"queue\" moniker."},
    {0x80110602, "MSMQ is required for the requested operation and is not installed."},
    {0x80110603, "Unable to marshal an interface that does not support IPersistStream."},
    {0x80110604, "The message is improperly formatted or was damaged in transit."},
    {0x80110605, "An unauthenticated message was received by an application that accepts only "
                 "authenticated messages."},
    {0x80110606, "The message was requeued or moved by a user not in the \"QC Trusted User\" "
                 "role."},
    {0x80110701, "Cannot create a duplicate resource of type Distributed Transaction "
                 "Coordinator."},
    {0x80110808, "One of the objects being inserted or updated does not belong to a valid "
                 "parent collection."},
    {0x80110809, "One of the specified objects cannot be found."},
    {0x8011080A, "The specified application is not currently running."},
    {0x8011080B, "The partition(s) specified are not valid."},
    {0x8011080D, "COM+ applications that run as NT service may not be pooled or recycled."},
    {0x8011080E, "One or more users are already assigned to a local partition set."},
    {0x8011080F, "Library applications may not be recycled."},
    {0x80110811, "Applications running as NT services may not be recycled."},
    {0x80110812, "The process has already been recycled."},
    {0x80110813, "A paused process may not be recycled."},
    {0x80110814, "Library applications may not be NT services."},
    {0x80110815, "The ProgID provided to the copy operation is invalid. The ProgID is in use by "
                 "another registered CLSID."},
    {0x80110816, "The partition specified as default is not a member of the partition set."},
    {0x80110817, "A recycled process may not be paused."},
    {0x80110818, "Access to the specified partition is denied."},
    {0x80110819, "Only Application Files (*.MSI files) can be installed into partitions."},
    {0x8011081A, "Applications containing one or more legacy components may not be exported to "
                 "1.0 format."},
    {0x8011081B, "Legacy components may not exist in non-base partitions."},
    {0x8011081C, "A component cannot be moved (or copied) from the System Application, an "
                 "application proxy or a non-changeable application."},
    {0x8011081D, "A component cannot be moved (or copied) to the System Application, an "
                 "application proxy or a non-changeable application."},
    {0x8011081E, "A private component cannot be moved (or copied) to a library application or "
                 "to the base partition."},
    {0x8011081F, "The Base Application Partition exists in all partition sets and cannot be "
                 "removed."},
    {0x80110820, "Alas, Event Class components cannot be aliased."},
    {0x80110821, "Access is denied because the component is private."},
    {0x80110822, "The specified SAFER level is invalid."},
    {0x80110823, "The specified user cannot write to the system registry."},
    {0x80110824, "COM+ partitions are currently disabled."},
    // Security status codes with both severity bits set
    {0xC0090001, "The specified event is currently not being audited."},
    {0xC0090002, "The SID filtering operation removed all SIDs."},
};

static_assert(errtext_detail::strictly_ascending(hresult_texts), "rows sorted by code");

}  // namespace

std::wstring hresult_message(HRESULT hr) {
    const char* text = errtext_detail::find_text(hresult_texts, static_cast<std::uint32_t>(hr));
    return text ? widen(text) : std::wstring();
}

}  // namespace cl
