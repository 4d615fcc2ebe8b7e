/* The class and interface ids of the CDO messaging component (CLSID_Message, IID_IMessage, ...),
   as the platform defines them. Compiled as C: the file is written for a C compiler. */
#include <cdosys_i.c>
