// Resource identifiers shared by the resource script and the shell.
#ifndef QUILLMARSH_RESOURCES_RESOURCE_H
#define QUILLMARSH_RESOURCES_RESOURCE_H

// The application icon: 32 by 32 pixels at 24 bits, drawn by make-icon.py.
#define IDI_APP 101

#endif
