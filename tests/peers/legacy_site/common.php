<?php
// The pages of a small legacy site: GBK in, GBK out, as the sites this tool
// is used on. Sources are UTF-8; what goes on the wire is GBK.
function gbk_page(string $utf8): void {
    header('Content-Type: text/html; charset=gbk');
    echo mb_convert_encoding($utf8, 'GBK', 'UTF-8');
}
function from_gbk(string $bytes): string {
    return mb_convert_encoding($bytes, 'UTF-8', 'GBK');
}
function shop_session(): void {
    session_set_cookie_params(['path' => '/shop']);
    session_start();
}
