# Test packages for the fixtures that pack launchers with the Windows sfxpack.

# The example header (10.01.188 to 10.01.190, format type 2), then body text
# up to the given length; the body ends in a non-zero byte, unlike padding.
# The versions go in through %s: an octal escape would swallow their leading digits.
# usage: write_package FILE LENGTH
write_package() {
    {
        printf 'PATCH\011\0\0\0PATCHHEAD\012\0\0\0SRCVERSION\011\0\0\0%s\0\012\0\0\0DSTVERSION\011\0\0\0%s\0\012\0\0\0FORMATTYPE\004\0\0\0\002\0\0\0PATCHBODY' 10.01.188 10.01.190
        yes 'package body'
    } | head -c "$2" >"$1"
}
