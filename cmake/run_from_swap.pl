#!/usr/bin/perl
# Marks a linked PE image to be run from the page file when it is started from
# removable or network media, then gives it the image checksum of its new
# bytes. The linker has no option for these two marks; every other field stays
# as the linker wrote it, and a second run changes nothing.
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
my $checksum = $pe + 88;
# IMAGE_FILE_REMOVABLE_RUN_FROM_SWAP | IMAGE_FILE_NET_RUN_FROM_SWAP
my $flags = unpack('v', substr($image, $characteristics, 2)) | 0x0C00;
substr($image, $characteristics, 2) = pack('v', $flags);

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
