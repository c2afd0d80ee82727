# shellcheck shell=bash
# curl speaking the requests vantlo-cli sends to the webmail (sourced by
# scripts/bench*.sh, not run): the anchor every transfer is measured beside.
# Needs account, VANTLO_PASSWORD and work; talks to curl_base
# (default http://$address) with curl_opts (e.g. --cacert for TLS).
user_agent='Ostrel Mail Tools; Unix 7.2'
curl_opts=()
: > "$work/empty"

# The sign-in pair, as vantlo-cli sends it; sets cookie, sid and host.
curl_signin() {
  local first second ntes sinfo pinfo core
  first=$(curl -s "${curl_opts[@]}" -D - -o /dev/null -H 'Accept: */*' -H 'Content-Type: application/x-www-form-urlencoded' \
    -H 'Host: reg.163.example' -A "$user_agent" -H 'Connection: close' \
    --data "url=&type=1&product=&username=$account@163.example&user=$account&password=$VANTLO_PASSWORD" \
    "${curl_base:-http://$address}/logins.jsp?type=1&product=mail163&url=http://entry.163.example/coremail/fcg/ntesdoor2?lightweight%3D1%26verifycookie%3D1%26language%3D-1%26style%3D-1")
  ntes=$(grep -o 'NTES_SESS=[^;]*;' <<<"$first" | head -1)
  sinfo=$(grep -o 'S_INFO=[^;]*;' <<<"$first" | head -1)
  pinfo=$(grep -o 'P_INFO=[^;]*;' <<<"$first" | head -1)
  second=$(curl -s "${curl_opts[@]}" -D - -o /dev/null -H 'Accept: */*' -H 'Host: entry.163.example' -A "$user_agent" \
    -H 'Connection: close' -H "Cookie: $ntes" \
    "${curl_base:-http://$address}/coremail/fcg/ntesdoor2?lightweight=1&verifycookie=1&language=-1&style=-1&username=$account")
  core=$(grep -o 'Coremail=[^;]*;' <<<"$second" | head -1)
  sid=${core:23:32}
  host=$(sed -n 's|^Location: https\?://\([^/]*\)/.*|\1|p' <<<"$second" | tr -d '\r')
  cookie="$sinfo$pinfo$ntes$core"
}

# One script-interface request; prints the answer body.
curl_script() {  # function, body
  curl -s "${curl_opts[@]}" -H 'Accept: text/javascript' -H 'Content-Type: application/xml' -A "$user_agent" -H "Host: $host" \
    -H 'Connection: close' -H "Cookie: $cookie" --data-binary "$2" "${curl_base:-http://$address}/a/s?sid=$sid&func=$1"
}

# Sign-in, compose, the multipart upload and the delivery: the requests of a put.
curl_put() {  # file
  local file=$1 size compose name
  size=$(stat -c %s "$file")
  curl_signin
  compose=$(curl_script mbox:compose '<?xml version="1.0"?><object/>')
  compose_id=$(sed -n "s/.*'var':'\([^']*\)'.*/\1/p" <<<"$compose")
  curl -s "${curl_opts[@]}" -o /dev/null -H 'Expect:' -H 'Accept: */*' -H "Host: $host" -A "$user_agent" \
    -H 'Connection: Keep-Alive' -H "Cookie: $cookie" \
    -F "file1=@$file;filename=$file;type=application/octet-stream" \
    -F "file2=@$work/empty;filename=\"\";type=application/octet-stream" \
    "${curl_base:-http://$address}/a/p/upload.html?sid=$sid&composeId=$compose_id"
  name=$(basename "$file")
  curl_script mbox:compose "<?xml version=\"1.0\"?><object><string name=\"action\">deliver</string><string name=\"id\">$compose_id</string><object name=\"attrs\"><string name=\"account\">$account</string><array name=\"to\"><string>$account</string></array><array name=\"cc\"/><array name=\"bcc\"/><string name=\"subject\">$name</string><string name=\"content\">-----</string><boolean name=\"isHtml\">true</boolean><int name=\"priority\">3</int><boolean name=\"saveSentCopy\">true</boolean><boolean name=\"requestReadReceipt\">false</boolean><object name=\"attachments\"><object name=\"0\"><int name=\"id\">1</int><string name=\"type\">upload</string><string name=\"name\">BenchBenchBenchBenchBenchB</string><string name=\"contentType\">text/plain</string><int name=\"size\">$size</int></object></object><string name=\"charset\">gbk</string><string name=\"id\">$compose_id</string></object><int name=\"saveSentLimit\">1</int></object>" >/dev/null
}

# Sign-in and the download of part 3: the requests of a get.
curl_get() {  # message id, output file
  curl_signin
  curl -s "${curl_opts[@]}" -o "$2" -H 'Accept: */*' -H "Host: $host" -H 'Content-Type: application/xml' -A "$user_agent" \
    -H 'Connection: close' -H "Cookie: $cookie" \
    "${curl_base:-http://$address}/js3/read/readdata.jsp?sid=$sid&mid=$1&part=3&mode=inline&action=download_attach"
}

# Ids of the messages of a folder whose subject is the given one.
listed_ids() {  # folder id, subject
  curl_script mbox:listMessages "<?xml version=\"1.0\"?><object><int name=\"fid\">$1</int><string name=\"order\">date</string><boolean name=\"desc\">true</boolean><int name=\"start\">0</int><int name=\"limit\">50</int></object>" |
    tr '{' '\n' | grep -F "'subject':'$2'" | sed -n "s/^'id':'\([^']*\)'.*/\1/p"
}
