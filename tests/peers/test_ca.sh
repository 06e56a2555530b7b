# Sourced by test runners: a throw-away certificate authority for TLS peers on loopback, trusted
# inside one Wine prefix only (the machine's own trust store is never touched).
#   zk_ca_make DIR                   DIR/ca.pem, DIR/ca.key
#   zk_ca_issue DIR NAME ALT_NAMES [DAYS]
#                                    DIR/NAME.pem and DIR/NAME.key signed by the CA, valid for DAYS
#                                    (2; -1 ended yesterday), e.g.
#                                    zk_ca_issue "$dir" server "DNS:localhost,IP:127.0.0.1"
#                                    ALT_NAMES "CN:127.0.0.1" gives a certificate without
#                                    alternative names; with CRL_URL as 5th argument the
#                                    certificate names it as its revocation list
#   zk_ca_revoke DIR NAME            adds DIR/NAME.pem to the revocation list DIR/crl/ca.crl (DER)
#   zk_ca_trust_in_prefix DIR        adds DIR/ca.pem to the root store of $WINEPREFIX
#   zk_ca_untrust_in_prefix DIR      removes it again

zk_ca_run() {  # LOG COMMAND...: runs the command, shows its log when it fails
  "${@:2}" >> "$1" 2>&1 || { cat "$1"; return 1; }
}

zk_ca_make() {
  mkdir -p "$1" || return 1
  zk_ca_run "$1/ca.log" openssl req -x509 -newkey rsa:2048 -nodes -days 2 \
    -subj "/CN=ZanKit Test CA $(basename "$1") $$" -keyout "$1/ca.key" -out "$1/ca.pem" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
}

zk_ca_issue() {
  local dir=$1 name=$2 alt_names=$3 days=${4:-2} crl_url=${5:-} first=${3%%,*}
  {
    [ "${alt_names#CN:}" = "$alt_names" ] && printf 'subjectAltName=%s\n' "$alt_names"
    [ -n "$crl_url" ] && printf 'crlDistributionPoints=URI:%s\n' "$crl_url"
    printf 'basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature,keyEncipherment\nextendedKeyUsage=serverAuth\n'
  } > "$dir/$name.ext"
  zk_ca_run "$dir/$name.log" openssl req -new -newkey rsa:2048 -nodes -subj "/CN=${first#*:}" \
    -keyout "$dir/$name.key" -out "$dir/$name.csr" &&
    zk_ca_run "$dir/$name.log" openssl x509 -req -in "$dir/$name.csr" -CA "$dir/ca.pem" -CAkey "$dir/ca.key" \
      -CAcreateserial -days "$days" -extfile "$dir/$name.ext" -out "$dir/$name.pem"
}

zk_ca_revoke() {
  local dir=$1 name=$2
  mkdir -p "$dir/crl" || return 1
  [ -f "$dir/crl/index.txt" ] || { : > "$dir/crl/index.txt" && echo 01 > "$dir/crl/number"; } || return 1
  printf '[ca]\ndefault_ca = zk\n[zk]\ndatabase = %s\ncrlnumber = %s\ndefault_md = sha256\ndefault_crl_days = 2\n' \
    "$dir/crl/index.txt" "$dir/crl/number" > "$dir/crl/ca.cnf"
  zk_ca_run "$dir/crl.log" openssl ca -batch -config "$dir/crl/ca.cnf" -keyfile "$dir/ca.key" -cert "$dir/ca.pem" \
    -revoke "$dir/$name.pem" &&
    zk_ca_run "$dir/crl.log" openssl ca -batch -config "$dir/crl/ca.cnf" -keyfile "$dir/ca.key" -cert "$dir/ca.pem" \
      -gencrl -out "$dir/crl/ca.crl.pem" &&
    zk_ca_run "$dir/crl.log" openssl crl -in "$dir/crl/ca.crl.pem" -outform DER -out "$dir/crl/ca.crl"
}

# Wine's crypt32 reads the trusted roots from HKLM\Software\Microsoft\SystemCertificates\Root\
# Certificates: one key per certificate named by its SHA-1 thumbprint (upper-case hex), whose
# value "Blob" holds property 32 (the encoded certificate) as id, 1, length and the DER bytes,
# each number little-endian 32-bit. 64-bit and 32-bit programs see separate views of the key.
zk_ca_key() {
  echo "HKLM\\Software\\Microsoft\\SystemCertificates\\Root\\Certificates\\$(openssl x509 -in "$1" -noout \
    -fingerprint -sha1 | sed -e 's/^.*=//' -e 's/://g' | tr 'a-f' 'A-F')"
}
zk_ca_le32() {
  printf '%02x%02x%02x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255))
}

# Wine imports the machine's roots as volatile keys, under which no lasting key can be made, so
# the prefix's server is ended first (its volatile keys go with it).
zk_ca_trust_in_prefix() {
  local key der view
  key=$(zk_ca_key "$1/ca.pem")
  der=$(openssl x509 -in "$1/ca.pem" -outform DER | xxd -p | tr -d '\n')
  wineserver -k 2> /dev/null
  wineserver -w 2> /dev/null
  for view in 64 32; do
    zk_wine64 reg add "$key" /v Blob /t REG_BINARY /f /reg:$view \
      /d "$(zk_ca_le32 32)$(zk_ca_le32 1)$(zk_ca_le32 $((${#der} / 2)))$der" > /dev/null 2>&1 || return 1
  done
}

zk_ca_untrust_in_prefix() {
  local key view
  [ -f "$1/ca.pem" ] || return 0
  key=$(zk_ca_key "$1/ca.pem")
  for view in 64 32; do zk_wine64 reg delete "$key" /f /reg:$view > /dev/null 2>&1; done
  return 0
}
