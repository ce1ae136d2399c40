// The pictures are compiled into this library by Qt's resource compiler; a static
// library needs one source of its own besides them.
