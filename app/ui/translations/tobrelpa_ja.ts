<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>FileFormats</name>
    <message>
        <source>The file cannot be opened: %1</source>
        <translation>ファイルを開けません: %1</translation>
    </message>
    <message>
        <source>The file cannot be read: %1</source>
        <translation>ファイルを読み込めません: %1</translation>
    </message>
    <message>
        <source>The file is damaged: it ends before its data does (it may have been cut short).</source>
        <translation>ファイルが壊れています: データの途中で終わっています(途中で切れた可能性があります)。</translation>
    </message>
    <message>
        <source>This is not a Tobrel2 file.</source>
        <translation>Tobrel2 ファイルではありません。</translation>
    </message>
    <message>
        <source>The file has version %1, which this program cannot read.</source>
        <translation>ファイルのバージョン %1 はこのプログラムでは読み込めません。</translation>
    </message>
    <message>
        <source>The file is damaged: its contents do not match its header.</source>
        <translation>ファイルが壊れています: 内容がヘッダと一致しません。</translation>
    </message>
    <message>
        <source>The file could not be read.</source>
        <translation>ファイルを読み込めませんでした。</translation>
    </message>
    <message>
        <source>the file could not be written</source>
        <translation>ファイルに書き込めませんでした</translation>
    </message>
    <message>
        <source>The file is damaged: it is not well-formed XML.</source>
        <translation>ファイルが壊れています: 整形式の XML ではありません。</translation>
    </message>
    <message>
        <source>This is not a GPX file.</source>
        <translation>GPX ファイルではありません。</translation>
    </message>
    <message>
        <source>The file holds a value that cannot be read.</source>
        <translation>ファイルに読み取れない値があります。</translation>
    </message>
    <message>
        <source>The file is refused: it asks for more than a GPX file may.</source>
        <translation>このファイルは読み込みません: GPX ファイルに許される範囲を超えた内容を含んでいます。</translation>
    </message>
    <message>
        <source>There is not enough memory to read the file.</source>
        <translation>ファイルを読み込むためのメモリが足りません。</translation>
    </message>
    <message>
        <source>Line %1: %2</source>
        <translation>%1 行目: %2</translation>
    </message>
    <message>
        <source>Characters the receivers' character set lacks, now "?": %1</source>
        <translation>受信機の文字セットにないため "?" にした文字: %1</translation>
    </message>
    <message>
        <source>Names or comments cut to fit: %1</source>
        <translation>長すぎたため切り詰めた名称とコメント: %1</translation>
    </message>
    <message>
        <source>Point times outside the dates the data can hold, left out: %1</source>
        <translation>扱える日付の範囲外のため省いたポイントの時刻: %1</translation>
    </message>
    <message>
        <source>There is not enough memory to write the file.</source>
        <translation>ファイルを書き込むためのメモリが足りません。</translation>
    </message>
    <message>
        <source>Bytes of names or comments that form no character, written as "?": %1</source>
        <translation>名称とコメントのうち文字にならないため "?" として書き込んだバイト: %1</translation>
    </message>
    <message>
        <source>Points without a valid position, left out: %1</source>
        <translation>位置が正しくないため省いたポイント: %1</translation>
    </message>
</context>
<context>
    <name>QFileDialog</name>
    <message>
        <source>Open</source>
        <translation>開く</translation>
    </message>
    <message>
        <source>Save As</source>
        <translation>名前を付けて保存</translation>
    </message>
    <message>
        <source>Choose a folder</source>
        <translation>フォルダの選択</translation>
    </message>
</context>
<context>
    <name>QPlatformTheme</name>
    <message>
        <source>&amp;Yes</source>
        <translation>はい(&amp;Y)</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>いいえ(&amp;N)</translation>
    </message>
    <message>
        <source>Save</source>
        <translation>保存</translation>
    </message>
    <message>
        <source>Discard</source>
        <translation>破棄</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>tobrel::DockWiring</name>
    <message>
        <source>&amp;Track Details</source>
        <translation>トラック詳細(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Waypoint List</source>
        <translation>ウェイポイント一覧(&amp;W)</translation>
    </message>
</context>
<context>
    <name>tobrel::FileCommands</name>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>%1 could not be opened:
%2</source>
        <translation>%1 を開けません:
%2</translation>
    </message>
    <message>
        <source>This program does not know this type of file.</source>
        <translation>このプログラムでは扱えない種類のファイルです。</translation>
    </message>
    <message>
        <source>%1 could not be saved:
%2
A file that was there before is unchanged.</source>
        <translation>%1 を保存できません:
%2
以前からあったファイルは変更されていません。</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>確認</translation>
    </message>
    <message>
        <source>The tracks and waypoints have changes that are not saved.
Save them?</source>
        <translation>トラックとウェイポイントに保存していない変更があります。
保存しますか？</translation>
    </message>
    <message>
        <source>Information</source>
        <translation>情報</translation>
    </message>
    <message>
        <source>%1 was saved, with these changes:
%2</source>
        <translation>%1 を保存しました。次の変更があります:
%2</translation>
    </message>
    <message>
        <source>%1 was opened, with these changes:
%2</source>
        <translation>%1 を開きました。次の変更があります:
%2</translation>
    </message>
</context>
<context>
    <name>tobrel::GpsCommands</name>
    <message>
        <source>COM%1 (%2) cannot be opened: %3.</source>
        <translation>COM%1 (%2) を開けません: %3。</translation>
    </message>
    <message>
        <source>Serial ports belong to the dialout group: add your user to it and log in again.</source>
        <translation>シリアルポートは dialout グループのものです: ユーザーをこのグループに加えて、ログインし直してください。</translation>
    </message>
    <message>
        <source>Another program is using it.</source>
        <translation>他のプログラムが使用中です。</translation>
    </message>
    <message>
        <source>Downloading tracks</source>
        <translation>トラックのダウンロード</translation>
    </message>
    <message>
        <source>Downloading waypoints</source>
        <translation>ウェイポイントのダウンロード</translation>
    </message>
    <message>
        <source>Uploading tracks</source>
        <translation>トラックのアップロード</translation>
    </message>
    <message>
        <source>Uploading waypoints</source>
        <translation>ウェイポイントのアップロード</translation>
    </message>
    <message>
        <source>Uploading the route</source>
        <translation>ルートのアップロード</translation>
    </message>
    <message>
        <source>Upload Tracks</source>
        <translation>トラックのアップロード</translation>
    </message>
    <message>
        <source>There are no tracks to upload.</source>
        <translation>アップロードするトラックがありません。</translation>
    </message>
    <message>
        <source>Upload Waypoints</source>
        <translation>ウェイポイントのアップロード</translation>
    </message>
    <message>
        <source>There are no waypoints to upload.</source>
        <translation>アップロードするウェイポイントがありません。</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>No track is selected</source>
        <translation>トラックが選択されていません</translation>
    </message>
    <message>
        <source>The GPS control could not be created.</source>
        <translation>GPS コントロールを作成できません。</translation>
    </message>
    <message>
        <source>Looking for the receiver on COM%1 (%2)...</source>
        <translation>COM%1 (%2) の受信機を確認しています...</translation>
    </message>
    <message>
        <source>Communication error</source>
        <translation>通信エラー</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>確認</translation>
    </message>
    <message>
        <source>The receiver will change %1 of the %2 names it is sent:</source>
        <translation>送信する %2 個の名称のうち %1 個は受信機で変更されます:</translation>
    </message>
    <message>
        <source>... and %1 more</source>
        <translation>... ほか %1 個</translation>
    </message>
    <message>
        <source>Upload</source>
        <translation>アップロード</translation>
    </message>
    <message>
        <source>%1: %2 of %3 records</source>
        <translation>%1: %3 レコード中 %2</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>中止</translation>
    </message>
    <message>
        <source>Tracks downloaded: %1.</source>
        <translation>ダウンロードしたトラック: %1。</translation>
    </message>
    <message>
        <source>Waypoints downloaded: %1.</source>
        <translation>ダウンロードしたウェイポイント: %1。</translation>
    </message>
    <message>
        <source>Sent to the receiver.</source>
        <translation>受信機に送信しました。</translation>
    </message>
    <message>
        <source>GPS</source>
        <translation>GPS</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>Cancelling...</source>
        <translation>中止しています...</translation>
    </message>
    <message>
        <source>no device</source>
        <translation>デバイスなし</translation>
    </message>
    <message>
        <source>The receiver on COM%1 (%2) is sending NMEA sentences: it is in NMEA mode. Switch its interface to its binary transfer protocol and try again.</source>
        <translation>COM%1 (%2) の受信機は NMEA センテンスを送信しています: NMEA モードになっています。受信機のインターフェースをバイナリ転送プロトコルに切り替えてから、もう一度実行してください。</translation>
    </message>
    <message>
        <source>No receiver answered on COM%1 (%2). Check that it is switched on, connected to this port and set to its binary transfer protocol.</source>
        <translation>COM%1 (%2) で受信機が応答しません。受信機の電源が入っていること、このポートに接続されていること、バイナリ転送プロトコルに設定されていることを確認してください。</translation>
    </message>
    <message>
        <source>The tracks you had are unchanged.</source>
        <translation>元のトラックは変更されていません。</translation>
    </message>
    <message>
        <source>The waypoints you had are unchanged.</source>
        <translation>元のウェイポイントは変更されていません。</translation>
    </message>
    <message>
        <source>The download was cancelled.</source>
        <translation>ダウンロードを中止しました。</translation>
    </message>
    <message>
        <source>The upload was cancelled after %1 of %2 records; the receiver may keep what it got.</source>
        <translation>%2 レコード中 %1 レコードでアップロードを中止しました。受信機には受け取った分が残っている場合があります。</translation>
    </message>
    <message>
        <source>The receiver stopped answering after %1 of %2 records.</source>
        <translation>%2 レコード中 %1 レコードで受信機が応答しなくなりました。</translation>
    </message>
    <message>
        <source>The receiver did not answer.</source>
        <translation>受信機が応答しません。</translation>
    </message>
    <message>
        <source>The connection to the receiver was lost.</source>
        <translation>受信機との接続が切れました。</translation>
    </message>
    <message>
        <source>The receiver kept refusing a record.</source>
        <translation>受信機がレコードを受け付けませんでした。</translation>
    </message>
    <message>
        <source>The receiver sent records that could not be used.</source>
        <translation>受信機から使用できないレコードが送られました。</translation>
    </message>
    <message>
        <source>The receiver did not confirm what it was sent.</source>
        <translation>受信機が送信内容を確認しませんでした。</translation>
    </message>
    <message>
        <source>%1 failed.</source>
        <translation>%1に失敗しました。</translation>
    </message>
</context>
<context>
    <name>tobrel::LivePosition</name>
    <message>
        <source>Live position</source>
        <translation>現在位置</translation>
    </message>
    <message>
        <source>The GPS control could not be created.</source>
        <translation>GPS コントロールを作成できません。</translation>
    </message>
    <message>
        <source>The receiver is busy with another GPS command. Try again when it has ended.</source>
        <translation>受信機は他の GPS コマンドを実行中です。終わってからもう一度試してください。</translation>
    </message>
    <message>
        <source>%1: starting the live position...</source>
        <translation>%1: 現在位置の受信を開始しています...</translation>
    </message>
    <message>
        <source>Switch on the live position first.</source>
        <translation>先に現在位置の表示をオンにしてください。</translation>
    </message>
    <message>
        <source>There is no memory for another track.</source>
        <translation>トラックを追加するメモリがありません。</translation>
    </message>
    <message>
        <source>The live position could not start on %1. %2</source>
        <translation>%1 で現在位置の受信を開始できません。%2</translation>
    </message>
    <message>
        <source>%1: waiting for the receiver...</source>
        <translation>%1: 受信機を待っています...</translation>
    </message>
    <message>
        <source>The live position stopped: %1 is no longer readable. %2</source>
        <translation>現在位置の受信が止まりました: %1 を読めなくなりました。%2</translation>
    </message>
    <message>
        <source>%1: no sentences for %2 seconds</source>
        <translation>%1: %2 秒間センテンスがありません</translation>
    </message>
    <message>
        <source>The receiver on %1 answers in its binary transfer protocol (%2) and sends no NMEA sentences. Switch its interface to NMEA for the live position.</source>
        <translation>%1 の受信機はバイナリ転送プロトコルで応答し (%2)、NMEA センテンスを送りません。現在位置を表示するには受信機のインターフェースを NMEA に切り替えてください。</translation>
    </message>
    <message>
        <source>No NMEA sentences came from %1 for %2 seconds. Check that the receiver is switched on, connected to this port and set to send NMEA.</source>
        <translation>%1 から %2 秒間 NMEA センテンスが来ません。受信機の電源が入っていて、このポートに接続され、NMEA を送る設定になっているか確認してください。</translation>
    </message>
    <message>
        <source>No fix</source>
        <translation>測位なし</translation>
    </message>
    <message>
        <source>DGPS fix</source>
        <translation>DGPS 測位</translation>
    </message>
    <message>
        <source>2D fix</source>
        <translation>2D 測位</translation>
    </message>
    <message>
        <source>3D fix</source>
        <translation>3D 測位</translation>
    </message>
    <message>
        <source>Fix</source>
        <translation>測位</translation>
    </message>
    <message>
        <source>Satellites used: %1</source>
        <translation>使用衛星: %1</translation>
    </message>
    <message>
        <source>%1 km/h</source>
        <translation>%1 km/h</translation>
    </message>
    <message>
        <source>The track being recorded was deleted; recording stopped.</source>
        <translation>記録中のトラックが削除されたため、記録を止めました。</translation>
    </message>
    <message>
        <source>There is no memory for more points; recording stopped.</source>
        <translation>ポイントを追加するメモリがないため、記録を止めました。</translation>
    </message>
    <message>
        <source>Live Position</source>
        <translation>現在位置</translation>
    </message>
</context>
<context>
    <name>tobrel::MapExport</name>
    <message>
        <source>the image could not be encoded</source>
        <translation>画像を書き出せませんでした</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>確認</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>%1 cannot be written: %2</source>
        <translation>%1 に書き込めません: %2</translation>
    </message>
    <message>
        <source>The map is written as
%1
%2
(the name up to its first &quot;.&quot;). Go on?</source>
        <translation>地図は次の名前で書き込まれます:
%1
%2
(最初の &quot;.&quot; までの名前)。続けますか？</translation>
    </message>
    <message>
        <source>A bitmap must be between 16 and %1 pixels wide and high.</source>
        <translation>ビットマップの幅と高さは 16 から %1 ピクセルの間にしてください。</translation>
    </message>
    <message>
        <source>The chosen map layer has no data at the top left of the view</source>
        <translation>左上部分には選択した地図階層がありません</translation>
    </message>
    <message>
        <source>The export writes %1 bitmaps (%2 columns, %3 rows) of %4 x %5 pixels, about %6 MB. Go on?</source>
        <translation>%4 x %5 ピクセルのビットマップを %1 個 (%2 列, %3 行)、約 %6 MB 書き込みます。続けますか？</translation>
    </message>
    <message>
        <source>Writing the bitmaps...</source>
        <translation>ビットマップを書き込んでいます...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>キャンセル</translation>
    </message>
    <message>
        <source>TobrelCE Map</source>
        <translation>TobrelCE地図</translation>
    </message>
    <message>
        <source>Writing bitmap %1 of %2...</source>
        <translation>ビットマップを書き込んでいます (%2 個中 %1 個目)...</translation>
    </message>
    <message>
        <source>it is not a file</source>
        <translation>ファイルではありません</translation>
    </message>
</context>
<context>
    <name>tobrel::SatellitePanel</name>
    <message>
        <source>Satellites</source>
        <translation>衛星</translation>
    </message>
    <message>
        <source>&amp;Satellites</source>
        <translation>衛星(&amp;S)</translation>
    </message>
    <message>
        <source>No satellites in view</source>
        <translation>見える衛星はありません</translation>
    </message>
    <message>
        <source>%1 in view, %2 used</source>
        <translation>%1 個が見え、%2 個を使用</translation>
    </message>
    <message>
        <source>%1: elevation %2°, azimuth %3°, signal %4 dB-Hz%5</source>
        <translation>%1: 仰角 %2°、方位角 %3°、信号 %4 dB-Hz%5</translation>
    </message>
    <message>
        <source>, used in the fix</source>
        <translation>、測位に使用</translation>
    </message>
</context>
<context>
    <name>tobrel::SignalBars</name>
    <message>
        <source>Signal strength</source>
        <translation>信号強度</translation>
    </message>
</context>
<context>
    <name>tobrel::SkyPlot</name>
    <message>
        <source>Sky plot</source>
        <translation>スカイプロット</translation>
    </message>
</context>
<context>
    <name>tobrel::TAboutBox</name>
    <message>
        <source>About</source>
        <translation>バージョン情報</translation>
    </message>
    <message>
        <source>A GPS receiver link and map program by Vesko.</source>
        <translation>Vesko の GPS 受信機連携・地図プログラム</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>tobrel::TfrmInput</name>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>tobrel::TfrmMain</name>
    <message>
        <source>&amp;File</source>
        <translation>ファイル(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Open...</source>
        <translation>開く(&amp;O)...</translation>
    </message>
    <message>
        <source>Save &amp;As...</source>
        <translation>名前を付けて保存(&amp;A)</translation>
    </message>
    <message>
        <source>Create Tobrel &amp;Map...</source>
        <translation>Tobrel地図の作成(&amp;M)...</translation>
    </message>
    <message>
        <source>Create Tobrel&amp;CE Map...</source>
        <translation>TobrelCE地図の作成(&amp;C)...</translation>
    </message>
    <message>
        <source>E&amp;xit</source>
        <translation>終了(&amp;x)</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>編集(&amp;E)</translation>
    </message>
    <message>
        <source>&amp;Create Track</source>
        <translation>トラックの作成(&amp;C)</translation>
    </message>
    <message>
        <source>Delete All &amp;Tracks</source>
        <translation>トラックの削除(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Delete All Waypoints</source>
        <translation>ウェイポイントの削除(&amp;D)</translation>
    </message>
    <message>
        <source>&amp;Map</source>
        <translation>地図(&amp;M)</translation>
    </message>
    <message>
        <source>Select &amp;Area</source>
        <translation>地域の選択(&amp;A)</translation>
    </message>
    <message>
        <source>&amp;Layer Scale</source>
        <translation>地図階層(&amp;L)</translation>
    </message>
    <message>
        <source>Map &amp;Colour</source>
        <translation>地図の色(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Normal</source>
        <translation>標準(&amp;N)</translation>
    </message>
    <message>
        <source>&amp;Grey</source>
        <translation>グレー(&amp;G)</translation>
    </message>
    <message>
        <source>&amp;Half</source>
        <translation>ハーフ(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;GPS</source>
        <translation>&amp;GPS</translation>
    </message>
    <message>
        <source>Download Tracks</source>
        <translation>トラックのダウンロード</translation>
    </message>
    <message>
        <source>Download Waypoints</source>
        <translation>ウェイポイントのダウンロード</translation>
    </message>
    <message>
        <source>Upload Tracks</source>
        <translation>トラックのアップロード</translation>
    </message>
    <message>
        <source>Upload Waypoints</source>
        <translation>ウェイポイントのアップロード</translation>
    </message>
    <message>
        <source>Upload Track as Route</source>
        <translation>トラックをルートとしてアップロード</translation>
    </message>
    <message>
        <source>Live Position</source>
        <translation>現在位置の表示</translation>
    </message>
    <message>
        <source>Follow Position</source>
        <translation>現在位置に追従</translation>
    </message>
    <message>
        <source>Record Live Track</source>
        <translation>現在位置をトラックに記録</translation>
    </message>
    <message>
        <source>&amp;Options</source>
        <translation>オプション(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Preferences...</source>
        <translation>設定(&amp;P)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>ヘルプ(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;About...</source>
        <translation>バージョン(&amp;A)...</translation>
    </message>
    <message>
        <source>Waypoints and tracks</source>
        <translation>ウェイポイントとトラック</translation>
    </message>
    <message>
        <source>Map</source>
        <translation>地図</translation>
    </message>
    <message>
        <source>Waypoint Name</source>
        <translation>ウェイポイント名称入力</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>表示(&amp;V)</translation>
    </message>
    <message>
        <source>The GPS control could not be created</source>
        <translation>GPS コントロールを作成できません</translation>
    </message>
    <message>
        <source>COM%1 (%2): looking for a receiver...</source>
        <translation>COM%1 (%2): 受信機を確認しています...</translation>
    </message>
    <message>
        <source>COM%1 (%2): no answer from a receiver</source>
        <translation>COM%1 (%2): 受信機の応答がありません</translation>
    </message>
    <message>
        <source>COM%1 (%2): live position from NMEA sentences</source>
        <translation>COM%1 (%2): NMEA センテンスから現在位置を表示中</translation>
    </message>
    <message>
        <source>COM%1 (%2): %3 (ID %4, software %5)</source>
        <translation>COM%1 (%2): %3 (ID %4, ソフトウェア %5)</translation>
    </message>
    <message>
        <source>Track Name</source>
        <translation>トラック名称入力</translation>
    </message>
    <message>
        <source>Confirm</source>
        <translation>確認</translation>
    </message>
    <message>
        <source>Delete all tracks?</source>
        <translation>全てのトラックを削除しますか？</translation>
    </message>
    <message>
        <source>Delete all waypoints?</source>
        <translation>全てのウェイポイントを削除しますか？</translation>
    </message>
</context>
<context>
    <name>tobrel::TfrmPreference</name>
    <message>
        <source>Preference</source>
        <translation>Preference</translation>
    </message>
    <message>
        <source>Choose a serial device or type the path of one</source>
        <translation>シリアル機器を選ぶか、そのパスを入力してください</translation>
    </message>
    <message>
        <source>COM port</source>
        <translation>COMポート</translation>
    </message>
    <message>
        <source>Device now</source>
        <translation>現在の機器</translation>
    </message>
    <message>
        <source>&amp;Device</source>
        <translation>機器(&amp;D)</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>set by the environment variable SORVANE_COM%1, which overrides the port map file</source>
        <translation>環境変数 SORVANE_COM%1 による指定。ポート対応ファイルより優先されます</translation>
    </message>
    <message>
        <source>from %1</source>
        <translation>%1 による指定</translation>
    </message>
    <message>
        <source>the default</source>
        <translation>既定値</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>エラー</translation>
    </message>
    <message>
        <source>The port map file %1 could not be written: %2</source>
        <translation>ポート対応ファイル %1 に書き込めません: %2</translation>
    </message>
</context>
<context>
    <name>tobrel::TfrmRouteDlg</name>
    <message>
        <source>Route Name</source>
        <translation>ルート名称の入力</translation>
    </message>
    <message>
        <source>Route name</source>
        <translation>ルート名称</translation>
    </message>
    <message>
        <source>Route waypoint prefix</source>
        <translation>ルートウェイポイントのプレフィックス</translation>
    </message>
    <message>
        <source>Route waypoint symbol</source>
        <translation>ルートウェイポイントのシンボル</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>tobrel::TfrmSelPID</name>
    <message>
        <source>Select Product ID</source>
        <translation>Select Product ID</translation>
    </message>
    <message>
        <source>This GPS receiver is not supported</source>
        <translation>このGPSはサポートされていません</translation>
    </message>
    <message>
        <source>Choose the model that seems closest</source>
        <translation>近いと思われる機種を選択してください</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>tobrel::TfrmTobrelCEMap</name>
    <message>
        <source>frmTobrelCEMap</source>
        <translation>frmTobrelCEMap</translation>
    </message>
    <message>
        <source>Choose...</source>
        <translation>選択...</translation>
    </message>
    <message>
        <source>Bitmap height</source>
        <translation>ビットマップの高さ</translation>
    </message>
    <message>
        <source>x</source>
        <translation>×</translation>
    </message>
    <message>
        <source>Folder</source>
        <translation>フォルダ</translation>
    </message>
    <message>
        <source>Map layer</source>
        <translation>地図階層の選択</translation>
    </message>
    <message>
        <source>Size of one bitmap (width x height)</source>
        <translation>1つのビットマップのサイズ(幅×高）</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
</context>
<context>
    <name>tobrel::TrackDetailsDock</name>
    <message>
        <source>Track Details</source>
        <translation>トラック詳細</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>距離</translation>
    </message>
    <message>
        <source>Start time</source>
        <translation>開始時刻</translation>
    </message>
    <message>
        <source>Elapsed time</source>
        <translation>経過時間</translation>
    </message>
    <message>
        <source>Moving time</source>
        <translation>移動時間</translation>
    </message>
    <message>
        <source>Average speed (moving)</source>
        <translation>平均速度（移動中）</translation>
    </message>
    <message>
        <source>Average speed (overall)</source>
        <translation>平均速度（全体）</translation>
    </message>
    <message>
        <source>Maximum speed</source>
        <translation>最高速度</translation>
    </message>
    <message>
        <source>Total ascent</source>
        <translation>累積上昇</translation>
    </message>
    <message>
        <source>Total descent</source>
        <translation>累積下降</translation>
    </message>
    <message>
        <source>Highest point</source>
        <translation>最高地点</translation>
    </message>
    <message>
        <source>Lowest point</source>
        <translation>最低地点</translation>
    </message>
    <message>
        <source>Points</source>
        <translation>ポイント数</translation>
    </message>
    <message>
        <source>Segments</source>
        <translation>セグメント数</translation>
    </message>
    <message>
        <source>Elevation</source>
        <translation>標高</translation>
    </message>
    <message>
        <source>Speed</source>
        <translation>速度</translation>
    </message>
    <message>
        <source>Distance (km)</source>
        <translation>距離 (km)</translation>
    </message>
    <message>
        <source>Left and Right step along the profile, Home and End go to its ends, Page Up and Page Down take bigger steps; the point is marked on the map.</source>
        <translation>左右の矢印キーでグラフ上を一点ずつ、Home と End で端へ、Page Up と Page Down で大きく移動し、その地点を地図に示します。</translation>
    </message>
    <message>
        <source>No track selected</source>
        <translation>トラックが選択されていません</translation>
    </message>
    <message>
        <source>No point of this track has this value</source>
        <translation>この値を持つポイントがありません</translation>
    </message>
</context>
<context>
    <name>tobrel::TreeController</name>
    <message>
        <source>Waypoints</source>
        <translation>ウェイポイント</translation>
    </message>
    <message>
        <source>Tracks</source>
        <translation>トラック</translation>
    </message>
</context>
<context>
    <name>tobrel::WaypointListDock</name>
    <message>
        <source>Waypoint List</source>
        <translation>ウェイポイント一覧</translation>
    </message>
    <message>
        <source>Waypoints</source>
        <translation>ウェイポイント</translation>
    </message>
</context>
<context>
    <name>tobrel::WaypointTableModel</name>
    <message>
        <source>Name</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>Comment</source>
        <translation>コメント</translation>
    </message>
    <message>
        <source>Latitude</source>
        <translation>緯度</translation>
    </message>
    <message>
        <source>Longitude</source>
        <translation>経度</translation>
    </message>
    <message>
        <source>Altitude (m)</source>
        <translation>高度 (m)</translation>
    </message>
    <message>
        <source>Symbol</source>
        <translation>シンボル</translation>
    </message>
</context>
</TS>
