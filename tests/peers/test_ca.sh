# Sourced by test runners: a throw-away certificate authority for TLS peers on loopback, and
# trust in it inside one Wine prefix only (the machine's own trust store is never touched).
#
#   zk_ca_make DIR                       DIR/ca.pem, DIR/ca.key
#   zk_ca_issue DIR NAME SUBJECT_ALT_NAMES   DIR/NAME.pem and DIR/NAME.key, signed by the CA,
#                                        e.g. zk_ca_issue "$dir" server "DNS:localhost,IP:127.0.0.1"
#   zk_ca_trust_in_prefix DIR            adds DIR/ca.pem to the root store of $WINEPREFIX
#   zk_ca_untrust_in_prefix DIR          removes it again
#
# Wine's crypt32 reads the machine's trusted roots from the registry store
# HKLM\Software\Microsoft\SystemCertificates\Root\Certificates: one key per certificate,
# named by its SHA-1 thumbprint in upper-case hex, whose value "Blob" holds the serialized
# certificate (property 32 = the encoded certificate: id, 1, length, DER bytes, each number
# a little-endian 32-bit value). 64-bit and 32-bit programs see separate views of the key, so
# both are written.

zk_ca_make() {
  local dir=$1
  mkdir -p "$dir" || return 1
  openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=ZanKit Test CA $(basename "$dir") $$" \
    -keyout "$dir/ca.key" -out "$dir/ca.pem" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" \
    > "$dir/ca.log" 2>&1 || { cat "$dir/ca.log"; return 1; }
}

zk_ca_issue() {
  local dir=$1 name=$2 alt_names=$3
  local first=${alt_names%%,*}
  openssl req -new -newkey rsa:2048 -nodes -subj "/CN=${first#*:}" \
    -keyout "$dir/$name.key" -out "$dir/$name.csr" > "$dir/$name.log" 2>&1 || { cat "$dir/$name.log"; return 1; }
  printf 'subjectAltName=%s\nbasicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n' \
    "$alt_names" > "$dir/$name.ext"
  openssl x509 -req -in "$dir/$name.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" -CAcreateserial \
    -days 2 -extfile "$dir/$name.ext" -out "$dir/$name.pem" >> "$dir/$name.log" 2>&1 ||
    { cat "$dir/$name.log"; return 1; }
}

# The registry key name and the "Blob" value (hex) of a PEM certificate.
zk_ca_thumbprint() {
  openssl x509 -in "$1" -noout -fingerprint -sha1 | sed -e 's/^.*=//' -e 's/://g' | tr 'a-f' 'A-F'
}
zk_ca_le32() {  # a number as a little-endian 32-bit value in hex
  printf '%02x%02x%02x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255))
}
zk_ca_blob_hex() {
  local der
  der=$(openssl x509 -in "$1" -outform DER | xxd -p | tr -d '\n')
  echo "$(zk_ca_le32 32)$(zk_ca_le32 1)$(zk_ca_le32 $(( ${#der} / 2 )))$der"
}

zk_ca_root_key='HKLM\Software\Microsoft\SystemCertificates\Root\Certificates'

# Wine imports the machine's roots as volatile keys, under which no lasting key can be made,
# so the prefix's server is ended first (its volatile keys go with it).
zk_ca_trust_in_prefix() {
  local ca="$1/ca.pem" key blob view
  key="$zk_ca_root_key\\$(zk_ca_thumbprint "$ca")"
  blob=$(zk_ca_blob_hex "$ca")
  wineserver -k 2> /dev/null; wineserver -w 2> /dev/null
  for view in 64 32; do
    wine reg add "$key" /v Blob /t REG_BINARY /d "$blob" /f /reg:$view > /dev/null 2>&1 || return 1
  done
}

zk_ca_untrust_in_prefix() {
  local ca="$1/ca.pem" key view
  [ -f "$ca" ] || return 0
  key="$zk_ca_root_key\\$(zk_ca_thumbprint "$ca")"
  for view in 64 32; do
    wine reg delete "$key" /f /reg:$view > /dev/null 2>&1
  done
  return 0
}
