/* The class and interface ids of the CDO messaging component (CLSID_Message, IID_IMessage, ...)
   as the platform defines them; compiled as C, which the file is written for. */
#include <cdosys_i.c>
