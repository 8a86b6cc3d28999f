// Test programs that link the plug-in's editor code directly (rather than loading the module)
// stand in for the module entry, which would otherwise define this handle.
void* moduleHandle = nullptr;
