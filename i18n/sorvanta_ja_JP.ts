<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
    <context>
        <name>ChannelMetersItem</name>
        <message>
            <source>CHANNEL LEVELS</source>
            <translation>チャンネルレベル</translation>
        </message>
        <message>
            <source>waiting for samples</source>
            <translation>サンプル待機中</translation>
        </message>
    </context>
    <context>
        <name>SpectrogramItem</name>
        <message>
            <source>SPECTRUM PREVIEW</source>
            <translation>スペクトルプレビュー</translation>
        </message>
        <message>
            <source>waiting for samples</source>
            <translation>サンプル待機中</translation>
        </message>
    </context>
    <context>
        <name>FilePickerDialog</name>
        <message>
            <source>Cannot open folder: </source>
            <translation>フォルダーを開けません: </translation>
        </message>
        <message>
            <source>New Folder</source>
            <translation>新しいフォルダー</translation>
        </message>
        <message>
            <source>Cannot create folder here</source>
            <translation>ここにはフォルダーを作成できません</translation>
        </message>
        <message>
            <source>A folder with this name already exists</source>
            <translation>同じ名前のフォルダーが既にあります</translation>
        </message>
        <message>
            <source>Invalid folder name</source>
            <translation>無効なフォルダー名です</translation>
        </message>
        <message>
            <source>Selected: </source>
            <translation>選択: </translation>
        </message>
        <message>
            <source>Enter a file name</source>
            <translation>ファイル名を入力してください</translation>
        </message>
        <message>
            <source>Save to: </source>
            <translation>保存先: </translation>
        </message>
        <message>
            <source>Select a file</source>
            <translation>ファイルを選択してください</translation>
        </message>
        <message>
            <source>Up</source>
            <translation>上へ</translation>
        </message>
        <message>
            <source>Empty folder</source>
            <translation>空のフォルダー</translation>
        </message>
        <message>
            <source>File name:</source>
            <translation>ファイル名:</translation>
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
        <name>MeasurementsPage</name>
        <message>
            <source>Location: %1</source>
            <translation>場所: %1</translation>
        </message>
        <message>
            <source>Scene: %1</source>
            <translation>シーン: %1</translation>
        </message>
        <message>
            <source>Project</source>
            <translation>プロジェクト</translation>
        </message>
        <message>
            <source>Open or create a local Sorvanta project</source>
            <translation>ローカルの Sorvanta プロジェクトを開くか作成してください</translation>
        </message>
        <message>
            <source>New</source>
            <translation>新規</translation>
        </message>
        <message>
            <source>Open</source>
            <translation>開く</translation>
        </message>
        <message>
            <source>Recent</source>
            <translation>最近</translation>
        </message>
        <message>
            <source>%1 measurements</source>
            <translation>測定 %1 件</translation>
        </message>
        <message>
            <source>Refresh</source>
            <translation>更新</translation>
        </message>
        <message>
            <source>Delete</source>
            <translation>削除</translation>
        </message>
        <message>
            <source>MEASUREMENTS</source>
            <translation>測定</translation>
        </message>
        <message>
            <source>manifest index</source>
            <translation>マニフェスト索引</translation>
        </message>
        <message>
            <source>No Measurements in this Project</source>
            <translation>このプロジェクトには測定がありません</translation>
        </message>
        <message>
            <source>No Project open</source>
            <translation>プロジェクトが開かれていません</translation>
        </message>
        <message>
            <source>Measurement inspector</source>
            <translation>測定インスペクター</translation>
        </message>
        <message>
            <source>Historical data is interpreted with its frozen Device Profile, never the current Live Profile.</source>
            <translation>過去のデータは、現在のライブプロファイルではなく、記録時に固定されたデバイスプロファイルで解釈されます。</translation>
        </message>
        <message>
            <source>Immutable Measurement</source>
            <translation>変更不可の測定</translation>
        </message>
        <message>
            <source>FROZEN DEVICE PROFILE</source>
            <translation>固定デバイスプロファイル</translation>
        </message>
        <message>
            <source>Recorded profile hash  %1</source>
            <translation>記録時のプロファイルハッシュ  %1</translation>
        </message>
        <message>
            <source>Geometry hash  %1</source>
            <translation>ジオメトリハッシュ  %1</translation>
        </message>
        <message>
            <source>RAW ASSET PRESENT  ·  Recorded raw hash  %1</source>
            <translation>生データあり  ·  記録時の生データハッシュ  %1</translation>
        </message>
        <message>
            <source>RAW ASSET MISSING  ·  Recorded raw hash  %1</source>
            <translation>生データなし  ·  記録時の生データハッシュ  %1</translation>
        </message>
        <message>
            <source>Manage Measurement</source>
            <translation>測定の管理</translation>
        </message>
        <message>
            <source>Alias/notes are metadata only - raw payload and hashes stay immutable</source>
            <translation>別名とメモはメタデータのみです - 生データとハッシュは変更されません</translation>
        </message>
        <message>
            <source>Replay</source>
            <translation>リプレイ</translation>
        </message>
        <message>
            <source>Rename</source>
            <translation>名前の変更</translation>
        </message>
        <message>
            <source>Note</source>
            <translation>メモ</translation>
        </message>
        <message>
            <source>Alias: %1</source>
            <translation>別名: %1</translation>
        </message>
        <message>
            <source>Select a valid Measurement</source>
            <translation>有効な測定を選択してください</translation>
        </message>
        <message>
            <source>Open a Project to inspect its Measurements</source>
            <translation>測定を確認するにはプロジェクトを開いてください</translation>
        </message>
        <message>
            <source>invalid</source>
            <translation>無効</translation>
        </message>
        <message>
            <source>%1 ch · %2 Hz · %3 analyses</source>
            <translation>%1 ch · %2 Hz · 解析 %3 件</translation>
        </message>
        <message>
            <source>RAW ASSET MISSING · %1 ch · %2 Hz</source>
            <translation>生データなし · %1 ch · %2 Hz</translation>
        </message>
        <message>
            <source>profile unknown</source>
            <translation>プロファイル不明</translation>
        </message>
        <message>
            <source>video</source>
            <translation>映像</translation>
        </message>
        <message>
            <source>Select Sorvanta Project Directory</source>
            <translation>Sorvanta プロジェクトのフォルダーを選択</translation>
        </message>
        <message>
            <source>Cannot Create Project</source>
            <translation>プロジェクトを作成できません</translation>
        </message>
        <message>
            <source>Create Sorvanta Project</source>
            <translation>Sorvanta プロジェクトの作成</translation>
        </message>
        <message>
            <source>The selected folder becomes the Project root (must be empty). The Project name below is the display name.</source>
            <translation>選択したフォルダーがプロジェクトのルートになります（空である必要があります）。下のプロジェクト名は表示名です。</translation>
        </message>
        <message>
            <source>Project name</source>
            <translation>プロジェクト名</translation>
        </message>
        <message>
            <source>Project Found in Subfolder</source>
            <translation>サブフォルダーにプロジェクトがあります</translation>
        </message>
        <message>
            <source>The selected folder does not contain a project, but the following project was found inside it. Open it?</source>
            <translation>選択したフォルダーにはプロジェクトがありませんが、その中に次のプロジェクトが見つかりました。開きますか？</translation>
        </message>
        <message>
            <source>No Project in Folder</source>
            <translation>フォルダーにプロジェクトがありません</translation>
        </message>
        <message>
            <source>There is no project in the selected folder:
%1

Create a new project here?</source>
            <translation>選択したフォルダーにはプロジェクトがありません:
%1

ここに新しいプロジェクトを作成しますか？</translation>
        </message>
        <message>
            <source>Recent Projects</source>
            <translation>最近のプロジェクト</translation>
        </message>
        <message>
            <source>No recent projects yet</source>
            <translation>最近のプロジェクトはまだありません</translation>
        </message>
        <message>
            <source>Delete Project</source>
            <translation>プロジェクトの削除</translation>
        </message>
        <message>
            <source>Permanently delete project "%1"?

All Measurements, raw recordings, video tracks and AnalysisRuns under
%2
are removed from disk. This cannot be undone.</source>
            <translation>プロジェクト「%1」を完全に削除しますか？

次の場所にあるすべての測定、生の記録、映像トラック、解析結果
%2
がディスクから削除されます。この操作は元に戻せません。</translation>
        </message>
        <message>
            <source>Rename Measurement</source>
            <translation>測定の名前の変更</translation>
        </message>
        <message>
            <source>Display alias (empty clears it). The measurement id and raw payload never change.</source>
            <translation>表示用の別名（空にすると消去）。測定 ID と生データは変わりません。</translation>
        </message>
        <message>
            <source>Measurement Note</source>
            <translation>測定メモ</translation>
        </message>
        <message>
            <source>Time</source>
            <translation>時刻</translation>
        </message>
        <message>
            <source>Location</source>
            <translation>場所</translation>
        </message>
        <message>
            <source>Building / room / site</source>
            <translation>建物 / 部屋 / 現場</translation>
        </message>
        <message>
            <source>Scene</source>
            <translation>シーン</translation>
        </message>
        <message>
            <source>Remarks</source>
            <translation>備考</translation>
        </message>
        <message>
            <source>Test conditions, source position, observations...</source>
            <translation>試験条件、音源位置、観察事項など…</translation>
        </message>
        <message>
            <source>Delete Measurement</source>
            <translation>測定の削除</translation>
        </message>
        <message>
            <source>Permanently delete %1?

Raw recording, video track and all AnalysisRuns are removed from disk. This cannot be undone.</source>
            <translation>%1 を完全に削除しますか？

生の記録、映像トラック、すべての解析結果がディスクから削除されます。この操作は元に戻せません。</translation>
        </message>
    </context>
    <context>
        <name>Theme</name>
        <message>
            <source>Abyss Black</source>
            <translation>アビスブラック</translation>
        </message>
        <message>
            <source>Deep Blue</source>
            <translation>ディープブルー</translation>
        </message>
        <message>
            <source>Graphite Gray</source>
            <translation>グラファイトグレー</translation>
        </message>
        <message>
            <source>Slate Copper</source>
            <translation>スレートカッパー</translation>
        </message>
        <message>
            <source>Mist Cyan</source>
            <translation>ミストシアン</translation>
        </message>
        <message>
            <source>Midnight Teal</source>
            <translation>ミッドナイトティール</translation>
        </message>
        <message>
            <source>Carbon Amber</source>
            <translation>カーボンアンバー</translation>
        </message>
        <message>
            <source>Medical</source>
            <translation>メディカル</translation>
        </message>
        <message>
            <source>Light</source>
            <translation>ライト</translation>
        </message>
    </context>
    <context>
        <name>ThemedDialog</name>
        <message>
            <source>OK</source>
            <translation>OK</translation>
        </message>
        <message>
            <source>Yes</source>
            <translation>はい</translation>
        </message>
        <message>
            <source>No</source>
            <translation>いいえ</translation>
        </message>
        <message>
            <source>Close</source>
            <translation>閉じる</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>キャンセル</translation>
        </message>
    </context>
    <context>
        <name>UiController</name>
        <message>
            <source>Live stopped</source>
            <translation>ライブ停止中</translation>
        </message>
        <message>
            <source>Not calibrated</source>
            <translation>未校正</translation>
        </message>
        <message>
            <source>Waiting for raw samples</source>
            <translation>生サンプルを待機しています</translation>
        </message>
        <message>
            <source>Load a validated Device Profile to begin</source>
            <translation>開始するには検証済みのデバイスプロファイルを読み込んでください</translation>
        </message>
        <message>
            <source>Device Profile validated; system ready to start</source>
            <translation>デバイスプロファイルを検証しました。システムは開始できます</translation>
        </message>
        <message>
            <source>Profile validation failed: %1</source>
            <translation>プロファイルの検証に失敗しました: %1</translation>
        </message>
        <message>
            <source>Select a directory for the new Project</source>
            <translation>新しいプロジェクトのディレクトリを選択してください</translation>
        </message>
        <message>
            <source>The selected directory already contains a Project</source>
            <translation>選択したディレクトリには既にプロジェクトがあります</translation>
        </message>
        <message>
            <source>The selected path is not a directory</source>
            <translation>選択したパスはディレクトリではありません</translation>
        </message>
        <message>
            <source>The selected directory is not empty - choose an empty directory for a new Project</source>
            <translation>選択したディレクトリは空ではありません - 新しいプロジェクトには空のディレクトリを選択してください</translation>
        </message>
        <message>
            <source>Project no longer exists at %1 - removed from Recent</source>
            <translation>プロジェクトは %1 に存在しなくなりました - 最近使ったプロジェクトから削除しました</translation>
        </message>
        <message>
            <source>Open Project failed: %1</source>
            <translation>プロジェクトを開けませんでした: %1</translation>
        </message>
        <message>
            <source>Diagnostics export failed: cannot create folder</source>
            <translation>診断のエクスポートに失敗しました：フォルダーを作成できません</translation>
        </message>
        <message>
            <source>Diagnostics export failed: %1</source>
            <translation>診断のエクスポートに失敗しました：%1</translation>
        </message>
        <message>
            <source>Diagnostics bundle exported: %1</source>
            <translation>診断バンドルをエクスポートしました：%1</translation>
        </message>
        <message>
            <source>Backup failed: cannot create folder</source>
            <translation>バックアップに失敗しました：フォルダーを作成できません</translation>
        </message>
        <message>
            <source>Backup failed: %1</source>
            <translation>バックアップに失敗しました：%1</translation>
        </message>
        <message>
            <source>Settings backup written: %1</source>
            <translation>設定のバックアップを書き込みました：%1</translation>
        </message>
        <message>
            <source>Open diagnostics folder failed: %1</source>
            <translation>診断フォルダーを開けませんでした：%1</translation>
        </message>
        <message>
            <source>Unsaved analysis result discarded</source>
            <translation>未保存の解析結果を破棄しました</translation>
        </message>
        <message>
            <source>Calibrated %1</source>
            <translation>校正済み %1</translation>
        </message>
        <message>
            <source>Calibrated for another device profile - recalibrate</source>
            <translation>別のデバイスプロファイル用に校正されています - 再校正してください</translation>
        </message>
        <message>
            <source>Project opened: %1 · %2 Measurement(s)</source>
            <translation>プロジェクトを開きました: %1 · 測定 %2 件</translation>
        </message>
        <message>
            <source>Delete failed: files are locked under %1 - the Project was kept open</source>
            <translation>削除に失敗しました: %1 の下のファイルがロックされています - プロジェクトは開いたままです</translation>
        </message>
        <message>
            <source>Open or create a Project first</source>
            <translation>先にプロジェクトを開くか作成してください</translation>
        </message>
        <message>
            <source>Process memory</source>
            <translation>プロセスメモリ</translation>
        </message>
        <message>
            <source>UDP datagrams</source>
            <translation>UDP データグラム</translation>
        </message>
        <message>
            <source>UDP received</source>
            <translation>UDP 受信量</translation>
        </message>
        <message>
            <source>Datagrams rejected / rx errors</source>
            <translation>拒否データグラム / 受信エラー</translation>
        </message>
        <message>
            <source>Ingress pending frames</source>
            <translation>受信待ちフレーム</translation>
        </message>
        <message>
            <source>DSP queue occupancy / drop</source>
            <translation>DSP キュー使用 / 破棄</translation>
        </message>
        <message>
            <source>Diagnostic queue drop</source>
            <translation>診断キュー破棄</translation>
        </message>
        <message>
            <source>Processed frames</source>
            <translation>処理済みフレーム</translation>
        </message>
        <message>
            <source>Maps published</source>
            <translation>公開済みマップ</translation>
        </message>
        <message>
            <source>BF avg/p50/p95/p99/max</source>
            <translation>BF 平均/p50/p95/p99/最大</translation>
        </message>
        <message>
            <source>Map overwrite / DSP errors</source>
            <translation>マップ上書き / DSP エラー</translation>
        </message>
        <message>
            <source>Recording rate</source>
            <translation>記録レート</translation>
        </message>
        <message>
            <source>Replay</source>
            <translation>リプレイ</translation>
        </message>
        <message>
            <source>Array profile</source>
            <translation>アレイプロファイル</translation>
        </message>
        <message>
            <source>Measurements / Analysis runs</source>
            <translation>測定 / 解析実行</translation>
        </message>
    </context>
    <context>
        <name>UvcParameter</name>
        <message>
            <source>Brightness</source>
            <translation>明るさ</translation>
        </message>
        <message>
            <source>Contrast</source>
            <translation>コントラスト</translation>
        </message>
        <message>
            <source>Hue</source>
            <translation>色相</translation>
        </message>
        <message>
            <source>Saturation</source>
            <translation>彩度</translation>
        </message>
        <message>
            <source>Sharpness</source>
            <translation>シャープネス</translation>
        </message>
        <message>
            <source>Gamma</source>
            <translation>ガンマ</translation>
        </message>
        <message>
            <source>Color enable</source>
            <translation>カラー有効</translation>
        </message>
        <message>
            <source>White balance</source>
            <translation>ホワイトバランス</translation>
        </message>
        <message>
            <source>Backlight compensation</source>
            <translation>逆光補正</translation>
        </message>
        <message>
            <source>Gain</source>
            <translation>ゲイン</translation>
        </message>
        <message>
            <source>Exposure</source>
            <translation>露出</translation>
        </message>
        <message>
            <source>Focus</source>
            <translation>フォーカス</translation>
        </message>
        <message>
            <source>Iris</source>
            <translation>絞り</translation>
        </message>
        <message>
            <source>Zoom</source>
            <translation>ズーム</translation>
        </message>
        <message>
            <source>Pan</source>
            <translation>パン</translation>
        </message>
        <message>
            <source>Tilt</source>
            <translation>チルト</translation>
        </message>
        <message>
            <source>Roll</source>
            <translation>ロール</translation>
        </message>
        <message>
            <source>Powerline frequency</source>
            <translation>電源周波数</translation>
        </message>
    </context>
    <context>
        <name>AcousticCanvas</name>
        <message>
            <source>Acoustic map</source>
            <translation>音響マップ</translation>
        </message>
        <message>
            <source>Camera overlay is not configured in this slice</source>
            <translation>このバージョンではカメラオーバーレイは未設定です</translation>
        </message>
        <message>
            <source>Press Start to publish the first map</source>
            <translation>「開始」を押すと最初のマップを表示します</translation>
        </message>
        <message>
            <source>Import a Device Profile</source>
            <translation>デバイスプロファイルをインポート</translation>
        </message>
        <message>
            <source>The acoustic map updates in real time</source>
            <translation>音響マップはリアルタイムで更新されます</translation>
        </message>
        <message>
            <source>Peak %1° / %2° · span %3 dB · %4 dBFS</source>
            <translation>ピーク %1° / %2° · 幅 %3 dB · %4 dBFS</translation>
        </message>
        <message>
            <source>Map below level gate: peak %1 dBFS &lt; gate %2 dBFS - lower Level gate or make sound</source>
            <translation>マップがレベルゲート未満です：ピーク %1 dBFS &lt; ゲート %2 dBFS - レベルゲートを下げるか音を出してください</translation>
        </message>
        <message>
            <source>Azimuth</source>
            <translation>方位角</translation>
        </message>
        <message>
            <source>Elevation</source>
            <translation>仰角</translation>
        </message>
    </context>
    <context>
        <name>AcquisitionPage</name>
        <message>
            <source>Sound pressure map</source>
            <translation>音圧マップ</translation>
        </message>
        <message>
            <source>UVC video overlay active — Record captures a video track</source>
            <translation>UVC 映像オーバーレイ有効 — 録画に映像トラックを含みます</translation>
        </message>
        <message>
            <source>No camera — Record will be audio only</source>
            <translation>カメラなし — 録画は音声のみです</translation>
        </message>
        <message>
            <source>REC %1 · %2 / %3 s · %4 MB · %5</source>
            <translation>録画 %1 · %2 / %3 秒 · %4 MB · %5</translation>
        </message>
        <message>
            <source>CAM</source>
            <translation>カメラ</translation>
        </message>
        <message>
            <source>no video</source>
            <translation>映像なし</translation>
        </message>
    </context>
    <context>
        <name>Main</name>
        <message>
            <source>Device</source>
            <translation>デバイス</translation>
        </message>
        <message>
            <source>Project</source>
            <translation>プロジェクト</translation>
        </message>
        <message>
            <source>Camera</source>
            <translation>カメラ</translation>
        </message>
        <message>
            <source>Live</source>
            <translation>ライブ</translation>
        </message>
        <message>
            <source>Replay</source>
            <translation>再生</translation>
        </message>
        <message>
            <source>Analysis</source>
            <translation>解析</translation>
        </message>
        <message>
            <source>Diagnostics</source>
            <translation>診断</translation>
        </message>
        <message>
            <source>Settings</source>
            <translation>設定</translation>
        </message>
        <message>
            <source>Sorvanta Studio v%1</source>
            <translation>Sorvanta Studio v%1</translation>
        </message>
        <message>
            <source>No profile</source>
            <translation>プロファイルなし</translation>
        </message>
        <message>
            <source>Ready</source>
            <translation>準備完了</translation>
        </message>
        <message>
            <source>Starting</source>
            <translation>開始中</translation>
        </message>
        <message>
            <source>Running</source>
            <translation>実行中</translation>
        </message>
        <message>
            <source>Stopping</source>
            <translation>停止中</translation>
        </message>
        <message>
            <source>Faulted</source>
            <translation>障害</translation>
        </message>
        <message>
            <source>Loading</source>
            <translation>読み込み中</translation>
        </message>
        <message>
            <source>Playing</source>
            <translation>再生中</translation>
        </message>
        <message>
            <source>Paused</source>
            <translation>一時停止</translation>
        </message>
        <message>
            <source>Finished</source>
            <translation>終了</translation>
        </message>
        <message>
            <source>Idle</source>
            <translation>待機</translation>
        </message>
        <message>
            <source>Sorvanta Studio</source>
            <translation>Sorvanta Studio</translation>
        </message>
        <message>
            <source>PROJECT</source>
            <translation>プロジェクト</translation>
        </message>
        <message>
            <source>No project open</source>
            <translation>プロジェクト未選択</translation>
        </message>
        <message>
            <source>No Device Profile</source>
            <translation>デバイスプロファイルなし</translation>
        </message>
        <message>
            <source>Analysis · %1%</source>
            <translation>解析 · %1%</translation>
        </message>
        <message>
            <source>Replay · %1</source>
            <translation>再生 · %1</translation>
        </message>
        <message>
            <source>● REC</source>
            <translation>● 録画</translation>
        </message>
        <message>
            <source>Saving...</source>
            <translation>保存中...</translation>
        </message>
        <message>
            <source>Language</source>
            <translation>言語</translation>
        </message>
        <message>
            <source>Theme</source>
            <translation>テーマ</translation>
        </message>
        <message>
            <source>WORKSPACE</source>
            <translation>ワークスペース</translation>
        </message>
        <message>
            <source>Working…</source>
            <translation>処理中…</translation>
        </message>
        <message>
            <source>Start</source>
            <translation>開始</translation>
        </message>
        <message>
            <source>Stop</source>
            <translation>停止</translation>
        </message>
        <message>
            <source>Stop &amp; save</source>
            <translation>停止して保存</translation>
        </message>
        <message>
            <source>Saving…</source>
            <translation>保存中…</translation>
        </message>
        <message>
            <source>Record</source>
            <translation>録画</translation>
        </message>
        <message>
            <source>DEVICE CONTRACT</source>
            <translation>デバイス契約</translation>
        </message>
        <message>
            <source>No validated profile</source>
            <translation>検証済みプロファイルなし</translation>
        </message>
        <message>
            <source>Background calibration</source>
            <translation>背景キャリブレーション</translation>
        </message>
        <message>
            <source>Calibration in progress - please keep the on-site environment stable</source>
            <translation>キャリブレーション中 - 現場の環境を安定に保ってください</translation>
        </message>
        <message>
            <source>%1 s remaining</source>
            <translation>残り %1 秒</translation>
        </message>
        <message>
            <source>Cancel</source>
            <translation>キャンセル</translation>
        </message>
    </context>
</TS>
