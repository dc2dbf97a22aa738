#!/usr/bin/perl
# Writes a tiny country database in the MaxMind format for tests.
# usage: make-country-db.pl OUT.mmdb CIDR=CC [CIDR=CC...]   (e.g. 127.0.0.0/9=DE)
use strict;
use warnings;
use MaxMind::DB::Writer::Tree;

my $out = shift @ARGV or die "usage: make-country-db.pl OUT.mmdb CIDR=CC...\n";
my $tree = MaxMind::DB::Writer::Tree->new(
    ip_version            => 4,
    record_size           => 24,
    database_type         => 'Ondel-Test-Country',
    languages             => ['en'],
    description           => { en => 'Countries for Ondel tests' },
    # Loopback and the other reserved ranges are what the tests use.
    remove_reserved_networks => 0,
    map_key_type_callback => sub { { country => 'map', iso_code => 'utf8_string' }->{ $_[0] } },
);
for my $pair (@ARGV) {
    my ($network, $code) = split /=/, $pair, 2;
    die "not CIDR=CC: $pair\n" unless defined $code && $code =~ /^[A-Za-z]{2}$/;
    $tree->insert_network($network, { country => { iso_code => $code } });
}
open my $fh, '>:raw', $out or die "cannot write $out: $!\n";
$tree->write_tree($fh);
close $fh or die "cannot write $out: $!\n";
