#!/usr/bin/perl
# Marks a linked PE image to be run from the page file when it is started from
# removable or network media, moves its headers over the DOS program so that
# they fit one file-alignment unit, then gives it the image checksum of its
# new bytes. The linker has no option for these; every other field stays as
# the linker wrote it, and a second run changes nothing.
# usage: run_from_swap.pl IMAGE
use strict;
use warnings;

my $path = shift or die "usage: run_from_swap.pl IMAGE\n";
open(my $in, '<:raw', $path) or die "run_from_swap: cannot read $path: $!\n";
my $image = do { local $/; <$in> };
close($in);

my $length = length($image);
die "run_from_swap: $path is no PE image\n" if $length < 0x40;
my $pe = unpack('V', substr($image, 0x3C, 4));
die "run_from_swap: $path is no PE image\n"
    if $pe + 92 > $length || substr($image, $pe, 4) ne "PE\0\0";

my $characteristics = $pe + 22;
# IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP | IMAGE_FILE_NET_RUN_FROM_SWAP
my $flags = unpack('v', substr($image, $characteristics, 2)) | 0x0C00;
substr($image, $characteristics, 2) = pack('v', $flags);

# The linker puts the headers after a 64-byte DOS program that only says the
# file needs Windows, and so past the first 512 bytes. Right after the DOS
# header they fit there, and the sections move up by the unit that frees.
my $dos_header = 0x40;
my $optional = $pe + 24;
my ($sections, $optional_size) = unpack('v x12 v', substr($image, $pe + 6, 16));
my $headers_end = $optional + $optional_size + 40 * $sections;
my $file_alignment = unpack('V', substr($image, $optional + 36, 4));
my $headers_size = unpack('V', substr($image, $optional + 60, 4));
my $compact_size = $headers_end - ($pe - $dos_header);
$compact_size += $file_alignment - $compact_size % $file_alignment if $compact_size % $file_alignment;
# The certificate table's entry, a file offset: data directory 4, after 96 bytes of PE32 fields or 112 of PE32+.
my $certificate = $optional + (unpack('v', substr($image, $optional, 2)) == 0x20B ? 112 : 96) + 4 * 8;
die "run_from_swap: $path has headers past its first section\n"
    if $headers_end > $headers_size || substr($image, $headers_end, $headers_size - $headers_end) =~ /[^\0]/;
if ($compact_size < $headers_size) {
    die "run_from_swap: $path carries symbols or a certificate, which would not move with its sections\n"
        if unpack('V', substr($image, $pe + 12, 4)) || unpack('V', substr($image, $certificate, 4));
    my $freed = $headers_size - $compact_size;
    my $headers = substr($image, $pe, $headers_end - $pe);
    $image = substr($image, 0, $dos_header) . $headers
        . "\0" x ($compact_size - $dos_header - length($headers)) . substr($image, $headers_size);
    $pe = $dos_header;
    $optional = $pe + 24;
    substr($image, 0x3C, 4) = pack('V', $pe);
    substr($image, $optional + 60, 4) = pack('V', $compact_size);
    for my $section (0 .. $sections - 1) {
        my $raw = $optional + $optional_size + 40 * $section + 20;
        my $pointer = unpack('V', substr($image, $raw, 4));
        substr($image, $raw, 4) = pack('V', $pointer - $freed) if $pointer;
    }
    $length = length($image);
}
my $checksum = $pe + 88;

# The image checksum: 16-bit words summed with their carries folded back,
# the checksum field counted as zero, then the file length added.
substr($image, $checksum, 4) = pack('V', 0);
my $padded = $length % 2 ? $image . "\0" : $image;
my $sum = 0;
$sum += $_ for unpack('v*', $padded);
$sum = ($sum & 0xFFFF) + ($sum >> 16) while $sum > 0xFFFF;
substr($image, $checksum, 4) = pack('V', $sum + $length);

# Written beside the stub and renamed over it: an interrupted step leaves the
# linker's stub or the finished one, never a cut stub newer than its inputs.
my $temp = "$path.tmp";
open(my $out, '>:raw', $temp) or die "run_from_swap: cannot write $temp: $!\n";
unless ((print $out $image) && close($out) && rename($temp, $path)) {
    my $error = $!;
    unlink($temp);
    die "run_from_swap: cannot write $path: $error\n";
}
